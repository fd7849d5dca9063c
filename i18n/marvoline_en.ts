<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US">
<context>
    <name></name>
    <message id="ui.rule">
        <source>Rule</source>
        <translation>Rule</translation>
    </message>
    <message id="ui.later">
        <source>Later</source>
        <translation>Later</translation>
    </message>
    <message id="ui.copy">
        <source>Copy</source>
        <translation>Copy</translation>
    </message>
    <message id="ui.share">
        <source>Share</source>
        <translation>Share</translation>
    </message>
    <message id="ui.close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="ui.setDefault">
        <source>Always ask with Marvoline for every %1</source>
        <translation>Always ask with Marvoline for every %1</translation>
    </message>
    <message id="ui.setDefault.anyType">
        <source>Always ask with Marvoline for files of this type</source>
        <translation>Always ask with Marvoline for files of this type</translation>
    </message>
    <message id="ui.setDefault.toolTip">
        <source>Files of this type will open through Marvoline; it remembers %1 as their default.</source>
        <translation>Files of this type will open through Marvoline; it remembers %1 as their default.</translation>
    </message>
    <message id="ui.setDefault.toolTipNoDefault">
        <source>Files of this type will open through Marvoline.</source>
        <translation>Files of this type will open through Marvoline.</translation>
    </message>
    <message id="ui.setDefault.failed">
        <source>Marvoline could not be made the default for these files.</source>
        <translation>Marvoline could not be made the default for these files.</translation>
    </message>
    <message id="ui.setDefault.failedReason">
        <source>The preferences cannot be saved, or the desktop refused the change.</source>
        <translation>The preferences cannot be saved, or the desktop refused the change.</translation>
    </message>
    <message id="ui.addApp">
        <source>Other…</source>
        <translation>Other…</translation>
    </message>
    <message id="ui.noApps">
        <source>No application opens this %1. Choose one with %2</source>
        <translation>No application opens this %1. Choose one with %2</translation>
    </message>
    <message id="ui.noApps.anyType">
        <source>No application opens files of this type. Choose one with %1</source>
        <translation>No application opens files of this type. Choose one with %1</translation>
    </message>
    <message id="ui.launchFailed">
        <source>%1 could not open the files. Choose another application.</source>
        <translation>%1 could not open the files. Choose another application.</translation>
    </message>
    <message id="ui.launchNotStarted">
        <source>The application could not be started.</source>
        <translation>The application could not be started.</translation>
    </message>
    <message id="ui.launchEntryInvalid">
        <source>The application's desktop entry is missing or cannot be read.</source>
        <translation>The application's desktop entry is missing or cannot be read.</translation>
    </message>
    <message id="ui.launchProgramMissing">
        <source>The application's program is missing or cannot be run.</source>
        <translation>The application's program is missing or cannot be run.</translation>
    </message>
    <message id="ui.later.10sec">
        <source>In 10 seconds</source>
        <translation>In 10 seconds</translation>
    </message>
    <message id="ui.later.5min">
        <source>In 5 minutes</source>
        <translation>In 5 minutes</translation>
    </message>
    <message id="ui.later.10min">
        <source>In 10 minutes</source>
        <translation>In 10 minutes</translation>
    </message>
    <message id="ui.later.15min">
        <source>In 15 minutes</source>
        <translation>In 15 minutes</translation>
    </message>
    <message id="ui.later.30min">
        <source>In 30 minutes</source>
        <translation>In 30 minutes</translation>
    </message>
    <message id="ui.later.60min">
        <source>In 1 hour</source>
        <translation>In 1 hour</translation>
    </message>
    <message id="ui.later.120min">
        <source>In 2 hours</source>
        <translation>In 2 hours</translation>
    </message>
    <message id="ui.later.tomorrow9">
        <source>Tomorrow at 9:00</source>
        <translation>Tomorrow at 9:00</translation>
    </message>
    <message id="ui.later.chooseTimer">
        <source>Choose a time…</source>
        <translation>Choose a time…</translation>
    </message>
    <message id="ui.later.customTitle">
        <source>Remind me later</source>
        <translation>Remind me later</translation>
    </message>
    <message id="ui.later.customMessage">
        <source>In how many minutes?</source>
        <translation>In how many minutes?</translation>
    </message>
    <message id="ui.later.customOK">
        <source>Schedule</source>
        <translation>Schedule</translation>
    </message>
    <message id="ui.later.customCancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="ui.later.notificationTitle">
        <source>Reminder</source>
        <translation>Reminder</translation>
    </message>
    <message id="ui.later.notificationShow">
        <source>Show</source>
        <translation>Show</translation>
    </message>
    <message id="ui.reminder.title">
        <source>Reminder: %1</source>
        <translation>Reminder: %1</translation>
    </message>
    <message id="ui.reminder.open">
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message id="ui.reminder.in10min">
        <source>Remind me in 10 minutes</source>
        <translation>Remind me in 10 minutes</translation>
    </message>
    <message id="ui.later.notScheduled">
        <source>The reminder could not be scheduled.</source>
        <translation>The reminder could not be scheduled.</translation>
    </message>
    <message id="ui.later.notScheduledReason">
        <source>No notification service is running, or the reminder store cannot be written.</source>
        <translation>No notification service is running, or the reminder store cannot be written.</translation>
    </message>
    <message id="ui.usage">
        <source>Usage: %1 [--choose] [FILE…]</source>
        <translation>Usage: %1 [--choose] [FILE…]</translation>
    </message>
    <message id="ui.usageSummary">
        <source>Shows the applications that can open the files and opens them with the one you choose.</source>
        <translation>Shows the applications that can open the files and opens them with the one you choose.</translation>
    </message>
    <message id="ui.helpOption">
        <source>Show this help and exit</source>
        <translation>Show this help and exit</translation>
    </message>
    <message id="ui.versionOption">
        <source>Show the version and exit</source>
        <translation>Show the version and exit</translation>
    </message>
    <message id="ui.argumentsIgnored">
        <source>No file to show; ignored: %1</source>
        <translation>No file to show; ignored: %1</translation>
    </message>
    <message id="ui.a11y.openWith">
        <source>Open with %1</source>
        <translation>Open with %1</translation>
    </message>
    <message id="ui.a11y.version">
        <source>Version %1.</source>
        <translation>Version %1.</translation>
    </message>
    <message id="ui.a11y.autoOpen">
        <source>Default application: opens when the countdown ends.</source>
        <translation>Default application: opens when the countdown ends.</translation>
    </message>
    <message id="ui.a11y.stopTimer">
        <source>Stop automatic opening</source>
        <translation>Stop automatic opening</translation>
    </message>
    <message id="ui.a11y.stopTimer.toolTip">
        <source>Stop opening with %1 automatically</source>
        <translation>Stop opening with %1 automatically</translation>
    </message>
    <message id="ui.a11y.moreApps">
        <source>More applications</source>
        <translation>More applications</translation>
    </message>
    <message id="ui.a11y.dragHandle">
        <source>Drag the files to another application</source>
        <translation>Drag the files to another application</translation>
    </message>
    <message id="ui.copy.filename">
        <source>File Name</source>
        <translation>File Name</translation>
    </message>
    <message id="ui.copy.file">
        <source>File</source>
        <translation>File</translation>
    </message>
    <message id="ui.copy.filepath">
        <source>File Path</source>
        <translation>File Path</translation>
    </message>
    <message id="ui.copy.text">
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message id="ui.copy.image">
        <source>Image</source>
        <translation>Image</translation>
    </message>
    <message id="ui.copy.foldername">
        <source>Folder Name</source>
        <translation>Folder Name</translation>
    </message>
    <message id="ui.copy.folder">
        <source>Folder</source>
        <translation>Folder</translation>
    </message>
    <message id="ui.copy.folderpath">
        <source>Folder Path</source>
        <translation>Folder Path</translation>
    </message>
    <message id="ui.copy.tooLarge">
        <source>%1 is too large to copy as text.</source>
        <translation>%1 is too large to copy as text.</translation>
    </message>
    <message id="ui.copy.notText">
        <source>%1 holds no text that can be copied.</source>
        <translation>%1 holds no text that can be copied.</translation>
    </message>
    <message id="ui.copy.notImage">
        <source>%1 is not an image that can be copied.</source>
        <translation>%1 is not an image that can be copied.</translation>
    </message>
    <message id="ui.copy.unreadable">
        <source>%1 could not be read.</source>
        <translation>%1 could not be read.</translation>
    </message>
    <message id="ui.copy.clipboardKept">
        <source>The clipboard keeps what it had.</source>
        <translation>The clipboard keeps what it had.</translation>
    </message>
    <message id="ui.share.email">
        <source>E-mail</source>
        <translation>E-mail</translation>
    </message>
    <message id="ui.share.kdeConnect">
        <source>%1 (KDE Connect)</source>
        <translation>%1 (KDE Connect)</translation>
    </message>
    <message id="ui.share.bluetooth">
        <source>Bluetooth…</source>
        <translation>Bluetooth…</translation>
    </message>
    <message id="ui.share.none">
        <source>Nothing to share with</source>
        <translation>Nothing to share with</translation>
    </message>
    <message id="ui.share.failed">
        <source>Sharing with %1 did not work.</source>
        <translation>Sharing with %1 did not work.</translation>
    </message>
    <message id="ui.share.notInstalled">
        <source>The program for this service is no longer installed.</source>
        <translation>The program for this service is no longer installed.</translation>
    </message>
    <message id="ui.picker.title">
        <source>Choose an Application</source>
        <translation>Choose an Application</translation>
    </message>
    <message id="ui.picker.filter">
        <source>Search applications</source>
        <translation>Search applications</translation>
    </message>
    <message id="ui.picker.open">
        <source>Open</source>
        <translation>Open</translation>
    </message>
    <message id="ui.picker.cancel">
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message id="ui.picker.loading">
        <source>Loading…</source>
        <translation>Loading…</translation>
    </message>
    <message id="ui.picker.noMatch">
        <source>No application matches “%1”</source>
        <translation>No application matches “%1”</translation>
    </message>
    <message id="ui.picker.none">
        <source>No applications are installed</source>
        <translation>No applications are installed</translation>
    </message>
    <message id="ui.eachDefault">
        <source>Each with its own default</source>
        <translation>Each with its own default</translation>
    </message>
    <message id="ui.eachDefault.description">
        <source>Opens every file with the default application of its type</source>
        <translation>Opens every file with the default application of its type</translation>
    </message>
    <message id="ui.eachDefault.unknownType">
        <source>files of an unknown type</source>
        <translation>files of an unknown type</translation>
    </message>
    <message id="ui.eachDefault.noDefault">
        <source>No default application for %1; those files stay here.</source>
        <translation>No default application for %1; those files stay here.</translation>
    </message>
    <message id="ui.listSeparator">
        <source>, </source>
        <translation>, </translation>
    </message>
    <message id="ui.summary.files" numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n file</numerusform>
            <numerusform>%n files</numerusform>
        </translation>
    </message>
    <message id="ui.summary.types" numerus="yes">
        <source>%n types</source>
        <translation>
            <numerusform>%n type</numerusform>
            <numerusform>%n types</numerusform>
        </translation>
    </message>
    <message id="ui.summary">
        <source>%1, %2</source>
        <translation>%1, %2</translation>
    </message>
    <message id="ui.rules.notSaved">
        <source>The rules could not be saved.</source>
        <translation>The rules could not be saved.</translation>
    </message>
    <message id="ui.rule.ofType">
        <source>of type %1</source>
        <translation>of type %1</translation>
    </message>
    <message id="ui.rule.named">
        <source>named %1</source>
        <translation>named %1</translation>
    </message>
    <message id="ui.rule.inFolder">
        <source>in %1</source>
        <translation>in %1</translation>
    </message>
    <message id="ui.rule.files">
        <source>Files %1</source>
        <translation>Files %1</translation>
    </message>
    <message id="ui.rule.openAtOnce">
        <source>open with %1 at once</source>
        <translation>open with %1 at once</translation>
    </message>
    <message id="ui.rule.countdown">
        <source>count down to %1</source>
        <translation>count down to %1</translation>
    </message>
    <message id="ui.rule.showOnly">
        <source>show the chooser without a countdown</source>
        <translation>show the chooser without a countdown</translation>
    </message>
    <message id="ui.rule.line">
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message id="ui.rulesOption">
        <source>Print the rules, one a line, in the order they are tried, and exit</source>
        <translation>Print the rules, one a line, in the order they are tried, and exit</translation>
    </message>
    <message id="ui.chooseOption">
        <source>Show the chooser for the files whatever the rules say</source>
        <translation>Show the chooser for the files whatever the rules say</translation>
    </message>
    <message id="ui.rules.title">
        <source>Rules</source>
        <translation>Rules</translation>
    </message>
    <message id="ui.rules.newRule">
        <source>New rule for files like these</source>
        <translation>New rule for files like these</translation>
    </message>
    <message id="ui.rules.when">
        <source>When every file is</source>
        <translation>When every file is</translation>
    </message>
    <message id="ui.rules.named">
        <source>named</source>
        <translation>named</translation>
    </message>
    <message id="ui.rules.patternToolTip">
        <source>A pattern such as *.pdf; any case</source>
        <translation>A pattern such as *.pdf; any case</translation>
    </message>
    <message id="ui.rules.inFolder">
        <source>in the folder</source>
        <translation>in the folder</translation>
    </message>
    <message id="ui.rules.folderToolTip">
        <source>Subfolders included</source>
        <translation>Subfolders included</translation>
    </message>
    <message id="ui.rules.then">
        <source>Then</source>
        <translation>Then</translation>
    </message>
    <message id="ui.rules.openAtOnce">
        <source>open them with the application at once</source>
        <translation>open them with the application at once</translation>
    </message>
    <message id="ui.rules.countdown">
        <source>start the countdown on the application</source>
        <translation>start the countdown on the application</translation>
    </message>
    <message id="ui.rules.showOnly">
        <source>always show the chooser without a countdown</source>
        <translation>always show the chooser without a countdown</translation>
    </message>
    <message id="ui.rules.application">
        <source>Application:</source>
        <translation>Application:</translation>
    </message>
    <message id="ui.rules.add">
        <source>Add Rule</source>
        <translation>Add Rule</translation>
    </message>
    <message id="ui.rules.list">
        <source>Rules, in the order they are tried</source>
        <translation>Rules, in the order they are tried</translation>
    </message>
    <message id="ui.rules.up">
        <source>Move Up</source>
        <translation>Move Up</translation>
    </message>
    <message id="ui.rules.down">
        <source>Move Down</source>
        <translation>Move Down</translation>
    </message>
    <message id="ui.rules.remove">
        <source>Remove</source>
        <translation>Remove</translation>
    </message>
    <message id="ui.rules.close">
        <source>Close</source>
        <translation>Close</translation>
    </message>
    <message id="ui.rules.ofType">
        <source>of the type %1</source>
        <translation>of the type %1</translation>
    </message>
    <message id="ui.rules.unknownType">
        <source>of this type (unknown)</source>
        <translation>of this type (unknown)</translation>
    </message>
    <message id="ui.rules.other">
        <source>Other…</source>
        <translation>Other…</translation>
    </message>
    <message id="ui.rules.none">
        <source>No rules yet: the chooser shows every file.</source>
        <translation>No rules yet: the chooser shows every file.</translation>
    </message>
    <message id="ui.portalOption">
        <source>Choose applications for the desktop portal (sandboxed applications)</source>
        <translation>Choose applications for the desktop portal (sandboxed applications)</translation>
    </message>
    <message id="ui.portalUnavailable">
        <source>Cannot serve the desktop portal: %1 is taken or there is no session bus.</source>
        <translation>Cannot serve the desktop portal: %1 is taken or there is no session bus.</translation>
    </message>
</context>
</TS>

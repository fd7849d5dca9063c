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
        <source>Set as default</source>
        <translation>Set as default</translation>
    </message>
    <message id="ui.addApp">
        <source>Other…</source>
        <translation>Other…</translation>
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
</context>
</TS>

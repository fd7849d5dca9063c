<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name></name>
    <message id="ui.rule">
        <source>Rule</source>
        <translation>ルール</translation>
    </message>
    <message id="ui.later">
        <source>Later</source>
        <translation>あとで</translation>
    </message>
    <message id="ui.copy">
        <source>Copy</source>
        <translation>コピー</translation>
    </message>
    <message id="ui.share">
        <source>Share</source>
        <translation>共有</translation>
    </message>
    <message id="ui.close">
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message id="ui.setDefault">
        <source>Always ask with Marvoline for every %1</source>
        <translation>%1 はいつも Marvoline で開くアプリを選ぶ</translation>
    </message>
    <message id="ui.setDefault.anyType">
        <source>Always ask with Marvoline for files of this type</source>
        <translation>この種類のファイルはいつも Marvoline で開くアプリを選ぶ</translation>
    </message>
    <message id="ui.setDefault.toolTip">
        <source>Files of this type will open through Marvoline; it remembers %1 as their default.</source>
        <translation>この種類のファイルは Marvoline を通して開くようになります。%1 は既定のアプリとして記憶されます。</translation>
    </message>
    <message id="ui.setDefault.toolTipNoDefault">
        <source>Files of this type will open through Marvoline.</source>
        <translation>この種類のファイルは Marvoline を通して開くようになります。</translation>
    </message>
    <message id="ui.setDefault.failed">
        <source>Marvoline could not be made the default for these files.</source>
        <translation>Marvoline をこの種類のファイルの既定のアプリにできませんでした。</translation>
    </message>
    <message id="ui.setDefault.failedReason">
        <source>The preferences cannot be saved, or the desktop refused the change.</source>
        <translation>設定を保存できないか、デスクトップが変更を受け付けませんでした。</translation>
    </message>
    <message id="ui.addApp">
        <source>Other…</source>
        <translation>その他…</translation>
    </message>
    <message id="ui.noApps">
        <source>No application opens this %1. Choose one with %2</source>
        <translation>この%1を開くアプリはありません。「%2」から選んでください</translation>
    </message>
    <message id="ui.noApps.anyType">
        <source>No application opens files of this type. Choose one with %1</source>
        <translation>この種類のファイルを開くアプリはありません。「%1」から選んでください</translation>
    </message>
    <message id="ui.launchFailed">
        <source>%1 could not open the files. Choose another application.</source>
        <translation>%1 でファイルを開けませんでした。別のアプリを選んでください。</translation>
    </message>
    <message id="ui.launchNotStarted">
        <source>The application could not be started.</source>
        <translation>アプリを起動できませんでした。</translation>
    </message>
    <message id="ui.launchEntryInvalid">
        <source>The application's desktop entry is missing or cannot be read.</source>
        <translation>アプリのデスクトップエントリーが見つからないか、読み込めません。</translation>
    </message>
    <message id="ui.launchProgramMissing">
        <source>The application's program is missing or cannot be run.</source>
        <translation>アプリのプログラムが見つからないか、実行できません。</translation>
    </message>
    <message id="ui.later.10sec">
        <source>In 10 seconds</source>
        <translation>10秒後</translation>
    </message>
    <message id="ui.later.5min">
        <source>In 5 minutes</source>
        <translation>5分後</translation>
    </message>
    <message id="ui.later.10min">
        <source>In 10 minutes</source>
        <translation>10分後</translation>
    </message>
    <message id="ui.later.15min">
        <source>In 15 minutes</source>
        <translation>15分後</translation>
    </message>
    <message id="ui.later.30min">
        <source>In 30 minutes</source>
        <translation>30分後</translation>
    </message>
    <message id="ui.later.60min">
        <source>In 1 hour</source>
        <translation>1時間後</translation>
    </message>
    <message id="ui.later.120min">
        <source>In 2 hours</source>
        <translation>2時間後</translation>
    </message>
    <message id="ui.later.tomorrow9">
        <source>Tomorrow at 9:00</source>
        <translation>明日 9:00</translation>
    </message>
    <message id="ui.later.chooseTimer">
        <source>Choose a time…</source>
        <translation>時間を指定…</translation>
    </message>
    <message id="ui.later.customTitle">
        <source>Remind me later</source>
        <translation>あとで通知</translation>
    </message>
    <message id="ui.later.customMessage">
        <source>In how many minutes?</source>
        <translation>何分後に通知しますか？</translation>
    </message>
    <message id="ui.later.customOK">
        <source>Schedule</source>
        <translation>設定</translation>
    </message>
    <message id="ui.later.customCancel">
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message id="ui.later.notificationTitle">
        <source>Reminder</source>
        <translation>リマインダー</translation>
    </message>
    <message id="ui.later.notificationShow">
        <source>Show</source>
        <translation>表示</translation>
    </message>
    <message id="ui.reminder.title">
        <source>Reminder: %1</source>
        <translation>リマインダー: %1</translation>
    </message>
    <message id="ui.reminder.open">
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message id="ui.reminder.in10min">
        <source>Remind me in 10 minutes</source>
        <translation>10分後に再通知</translation>
    </message>
    <message id="ui.later.notScheduled">
        <source>The reminder could not be scheduled.</source>
        <translation>リマインダーを設定できませんでした。</translation>
    </message>
    <message id="ui.later.notScheduledReason">
        <source>No notification service is running, or the reminder store cannot be written.</source>
        <translation>通知サービスが動いていないか、リマインダーの保存先に書き込めません。</translation>
    </message>
    <message id="ui.usage">
        <source>Usage: %1 [--choose] [FILE…]</source>
        <translation>使い方: %1 [--choose] [ファイル…]</translation>
    </message>
    <message id="ui.usageSummary">
        <source>Shows the applications that can open the files and opens them with the one you choose.</source>
        <translation>ファイルを開けるアプリを表示し、選んだアプリで開きます。</translation>
    </message>
    <message id="ui.helpOption">
        <source>Show this help and exit</source>
        <translation>このヘルプを表示して終了します</translation>
    </message>
    <message id="ui.versionOption">
        <source>Show the version and exit</source>
        <translation>バージョンを表示して終了します</translation>
    </message>
    <message id="ui.argumentsIgnored">
        <source>No file to show; ignored: %1</source>
        <translation>表示するファイルがありません。無視した引数: %1</translation>
    </message>
    <message id="ui.a11y.openWith">
        <source>Open with %1</source>
        <translation>%1 で開く</translation>
    </message>
    <message id="ui.a11y.version">
        <source>Version %1.</source>
        <translation>バージョン %1。</translation>
    </message>
    <message id="ui.a11y.autoOpen">
        <source>Default application: opens when the countdown ends.</source>
        <translation>既定のアプリ：カウントダウンが終わると開きます。</translation>
    </message>
    <message id="ui.a11y.stopTimer">
        <source>Stop automatic opening</source>
        <translation>自動で開くのを止める</translation>
    </message>
    <message id="ui.a11y.stopTimer.toolTip">
        <source>Stop opening with %1 automatically</source>
        <translation>%1 で自動的に開くのを止める</translation>
    </message>
    <message id="ui.a11y.moreApps">
        <source>More applications</source>
        <translation>ほかのアプリケーション</translation>
    </message>
    <message id="ui.a11y.dragHandle">
        <source>Drag the files to another application</source>
        <translation>ファイルをほかのアプリケーションへドラッグ</translation>
    </message>
    <message id="ui.copy.filename">
        <source>File Name</source>
        <translation>ファイル名</translation>
    </message>
    <message id="ui.copy.file">
        <source>File</source>
        <translation>ファイル</translation>
    </message>
    <message id="ui.copy.filepath">
        <source>File Path</source>
        <translation>ファイルのパス</translation>
    </message>
    <message id="ui.copy.text">
        <source>Text</source>
        <translation>テキスト</translation>
    </message>
    <message id="ui.copy.image">
        <source>Image</source>
        <translation>イメージ</translation>
    </message>
    <message id="ui.copy.foldername">
        <source>Folder Name</source>
        <translation>フォルダ名</translation>
    </message>
    <message id="ui.copy.folder">
        <source>Folder</source>
        <translation>フォルダ</translation>
    </message>
    <message id="ui.copy.folderpath">
        <source>Folder Path</source>
        <translation>フォルダのパス</translation>
    </message>
    <message id="ui.copy.tooLarge">
        <source>%1 is too large to copy as text.</source>
        <translation>%1 はテキストとしてコピーするには大きすぎます。</translation>
    </message>
    <message id="ui.copy.notText">
        <source>%1 holds no text that can be copied.</source>
        <translation>%1 にはコピーできるテキストがありません。</translation>
    </message>
    <message id="ui.copy.notImage">
        <source>%1 is not an image that can be copied.</source>
        <translation>%1 はコピーできる画像ではありません。</translation>
    </message>
    <message id="ui.copy.unreadable">
        <source>%1 could not be read.</source>
        <translation>%1 を読み込めませんでした。</translation>
    </message>
    <message id="ui.copy.clipboardKept">
        <source>The clipboard keeps what it had.</source>
        <translation>クリップボードの内容はそのままです。</translation>
    </message>
    <message id="ui.share.email">
        <source>E-mail</source>
        <translation>メール</translation>
    </message>
    <message id="ui.share.kdeConnect">
        <source>%1 (KDE Connect)</source>
        <translation>%1（KDE Connect）</translation>
    </message>
    <message id="ui.share.bluetooth">
        <source>Bluetooth…</source>
        <translation>Bluetooth で送信…</translation>
    </message>
    <message id="ui.share.none">
        <source>Nothing to share with</source>
        <translation>共有できるサービスがありません</translation>
    </message>
    <message id="ui.share.failed">
        <source>Sharing with %1 did not work.</source>
        <translation>%1 で共有できませんでした。</translation>
    </message>
    <message id="ui.share.notInstalled">
        <source>The program for this service is no longer installed.</source>
        <translation>このサービスのプログラムはもうインストールされていません。</translation>
    </message>
    <message id="ui.picker.title">
        <source>Choose an Application</source>
        <translation>アプリケーションを選択</translation>
    </message>
    <message id="ui.picker.filter">
        <source>Search applications</source>
        <translation>アプリケーションを検索</translation>
    </message>
    <message id="ui.picker.open">
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message id="ui.picker.cancel">
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message id="ui.picker.loading">
        <source>Loading…</source>
        <translation>読み込み中…</translation>
    </message>
    <message id="ui.picker.noMatch">
        <source>No application matches “%1”</source>
        <translation>「%1」に一致するアプリケーションはありません</translation>
    </message>
    <message id="ui.picker.none">
        <source>No applications are installed</source>
        <translation>アプリケーションがインストールされていません</translation>
    </message>
    <message id="ui.eachDefault">
        <source>Each with its own default</source>
        <translation>それぞれの既定のアプリ</translation>
    </message>
    <message id="ui.eachDefault.description">
        <source>Opens every file with the default application of its type</source>
        <translation>各ファイルをその種類の既定のアプリで開きます</translation>
    </message>
    <message id="ui.eachDefault.unknownType">
        <source>files of an unknown type</source>
        <translation>種類のわからないファイル</translation>
    </message>
    <message id="ui.eachDefault.noDefault">
        <source>No default application for %1; those files stay here.</source>
        <translation>%1を既定で開くアプリはありません。それらのファイルはここに残ります。</translation>
    </message>
    <message id="ui.listSeparator">
        <source>, </source>
        <translation>、</translation>
    </message>
    <message id="ui.summary.files" numerus="yes">
        <source>%n files</source>
        <translation>
            <numerusform>%n 個のファイル</numerusform>
        </translation>
    </message>
    <message id="ui.summary.types" numerus="yes">
        <source>%n types</source>
        <translation>
            <numerusform>%n 種類</numerusform>
        </translation>
    </message>
    <message id="ui.summary">
        <source>%1, %2</source>
        <translation>%1、%2</translation>
    </message>
    <message id="ui.rules.notSaved">
        <source>The rules could not be saved.</source>
        <translation>ルールを保存できませんでした。</translation>
    </message>
    <message id="ui.rule.ofType">
        <source>of type %1</source>
        <translation>種類が %1</translation>
    </message>
    <message id="ui.rule.named">
        <source>named %1</source>
        <translation>名前が %1</translation>
    </message>
    <message id="ui.rule.inFolder">
        <source>in %1</source>
        <translation>場所が %1</translation>
    </message>
    <message id="ui.rule.files">
        <source>Files %1</source>
        <translation>ファイル（%1）</translation>
    </message>
    <message id="ui.rule.openAtOnce">
        <source>open with %1 at once</source>
        <translation>すぐに %1 で開く</translation>
    </message>
    <message id="ui.rule.countdown">
        <source>count down to %1</source>
        <translation>%1 へのカウントダウン</translation>
    </message>
    <message id="ui.rule.showOnly">
        <source>show the chooser without a countdown</source>
        <translation>カウントダウンなしで選択画面を表示</translation>
    </message>
    <message id="ui.rule.line">
        <source>%1: %2</source>
        <translation>%1：%2</translation>
    </message>
    <message id="ui.rulesOption">
        <source>Print the rules, one a line, in the order they are tried, and exit</source>
        <translation>ルールを試す順に1行ずつ表示して終了</translation>
    </message>
    <message id="ui.chooseOption">
        <source>Show the chooser for the files whatever the rules say</source>
        <translation>ルールにかかわらず選択画面を表示</translation>
    </message>
    <message id="ui.rules.title">
        <source>Rules</source>
        <translation>ルール</translation>
    </message>
    <message id="ui.rules.newRule">
        <source>New rule for files like these</source>
        <translation>このようなファイルの新しいルール</translation>
    </message>
    <message id="ui.rules.when">
        <source>When every file is</source>
        <translation>すべてのファイルが</translation>
    </message>
    <message id="ui.rules.named">
        <source>named</source>
        <translation>名前が</translation>
    </message>
    <message id="ui.rules.patternToolTip">
        <source>A pattern such as *.pdf; any case</source>
        <translation>*.pdf のようなパターン（大文字小文字を区別しない）</translation>
    </message>
    <message id="ui.rules.inFolder">
        <source>in the folder</source>
        <translation>フォルダ内</translation>
    </message>
    <message id="ui.rules.folderToolTip">
        <source>Subfolders included</source>
        <translation>サブフォルダを含む</translation>
    </message>
    <message id="ui.rules.then">
        <source>Then</source>
        <translation>そのとき</translation>
    </message>
    <message id="ui.rules.openAtOnce">
        <source>open them with the application at once</source>
        <translation>すぐにアプリケーションで開く</translation>
    </message>
    <message id="ui.rules.countdown">
        <source>start the countdown on the application</source>
        <translation>アプリケーションへのカウントダウンを始める</translation>
    </message>
    <message id="ui.rules.showOnly">
        <source>always show the chooser without a countdown</source>
        <translation>常にカウントダウンなしで選択画面を表示</translation>
    </message>
    <message id="ui.rules.application">
        <source>Application:</source>
        <translation>アプリケーション：</translation>
    </message>
    <message id="ui.rules.add">
        <source>Add Rule</source>
        <translation>ルールを追加</translation>
    </message>
    <message id="ui.rules.list">
        <source>Rules, in the order they are tried</source>
        <translation>ルール（試す順）</translation>
    </message>
    <message id="ui.rules.up">
        <source>Move Up</source>
        <translation>上へ</translation>
    </message>
    <message id="ui.rules.down">
        <source>Move Down</source>
        <translation>下へ</translation>
    </message>
    <message id="ui.rules.remove">
        <source>Remove</source>
        <translation>削除</translation>
    </message>
    <message id="ui.rules.close">
        <source>Close</source>
        <translation>閉じる</translation>
    </message>
    <message id="ui.rules.ofType">
        <source>of the type %1</source>
        <translation>種類が %1</translation>
    </message>
    <message id="ui.rules.unknownType">
        <source>of this type (unknown)</source>
        <translation>この種類（不明）</translation>
    </message>
    <message id="ui.rules.other">
        <source>Other…</source>
        <translation>その他…</translation>
    </message>
    <message id="ui.rules.none">
        <source>No rules yet: the chooser shows every file.</source>
        <translation>ルールはまだありません。すべてのファイルで選択画面を表示します。</translation>
    </message>
    <message id="ui.portalOption">
        <source>Choose applications for the desktop portal (sandboxed applications)</source>
        <translation>デスクトップポータルのためにアプリケーションを選びます（サンドボックスのアプリケーション）</translation>
    </message>
    <message id="ui.portalUnavailable">
        <source>Cannot serve the desktop portal: %1 is taken or there is no session bus.</source>
        <translation>デスクトップポータルに応えられません: %1 が使用中か、セッションバスがありません。</translation>
    </message>
</context>
</TS>

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
        <source>Set as default</source>
        <translation>既定にする</translation>
    </message>
    <message id="ui.addApp">
        <source>Other…</source>
        <translation>その他…</translation>
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
</context>
</TS>

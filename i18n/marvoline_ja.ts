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
        <source>Always use Marvoline for this type</source>
        <translation>この種類は常に Marvoline で開く</translation>
    </message>
    <message id="ui.addApp">
        <source>Other…</source>
        <translation>その他…</translation>
    </message>
    <message id="ui.launchFailed">
        <source>%1 could not open the files. Choose another application.</source>
        <translation>%1 でファイルを開けませんでした。別のアプリを選んでください。</translation>
    </message>
</context>
</TS>

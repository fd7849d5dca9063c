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
        <source>Always use Marvoline for this type</source>
        <translation>Always use Marvoline for this type</translation>
    </message>
    <message id="ui.addApp">
        <source>Other…</source>
        <translation>Other…</translation>
    </message>
    <message id="ui.launchFailed">
        <source>%1 could not open the files. Choose another application.</source>
        <translation>%1 could not open the files. Choose another application.</translation>
    </message>
</context>
</TS>

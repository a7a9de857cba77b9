<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name></name>
    <message id="10009">
        <source>Error loading Surmex file</source>
        <translation>Fehler beim Laden der Surmex-Datei</translation>
    </message>
    <message id="10008">
        <source>Reason:</source>
        <translation></translation>
    </message>
</context>
</TS>

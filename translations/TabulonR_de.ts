<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en_US">
<context>
    <name></name>
    <message id="10000">
        <source>Surmex files|*.smx|Job files|*.job|Viamex files|*.vmx|XML files|*.xml|All files|*.*</source>
        <translation>Surmex-Dateien|*.smx|Jobdateien|*.job|Viamex-Dateien|*.vmx|XML-Dateien|*.xml|Alle Dateien|*.*</translation>
    </message>
    <message id="10001">
        <source>Error in %s definition</source>
        <translation>Fehler in der Definition von %s</translation>
    </message>
    <message id="10002">
        <source>%s files</source>
        <translation>%s-Dateien</translation>
    </message>
    <message id="10003">
        <source>File %s successfully created</source>
        <translation>Die Datei %s wurde erfolgreich erstellt</translation>
    </message>
    <message id="10004">
        <source>A Surmex or Job file must be specified</source>
        <translation>Bitte eine Surmex- oder Jobdatei angeben</translation>
    </message>
    <message id="10005">
        <source>The selected job file could not be converted to a Surmex file</source>
        <translation>Die gewählte Jobdatei konnte nicht in eine Surmex-Datei umgewandelt werden</translation>
    </message>
    <message id="10006">
        <source>Error loading style sheet file</source>
        <translation>Fehler beim Laden des Stylesheets</translation>
    </message>
    <message id="10007">
        <source>Error number:</source>
        <translation>Fehlernummer:</translation>
    </message>
    <message id="10008">
        <source>Reason:</source>
        <translation>Ursache:</translation>
    </message>
    <message id="10009">
        <source>Error loading Surmex file</source>
        <translation>Fehler beim Laden der Surmex-Datei</translation>
    </message>
    <message id="10010">
        <source>Tabulon</source>
        <translation>Tabulon</translation>
    </message>
    <message id="10011">
        <source>&amp;Source Surmex or Job file:</source>
        <translation>&amp;Quelldatei (Surmex- oder Jobdatei):</translation>
    </message>
    <message id="10012">
        <source>&amp;Output format:</source>
        <translation>&amp;Ausgabeformat:</translation>
    </message>
    <message id="10013">
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message id="10014">
        <source>B&amp;rowse...</source>
        <translation>Du&amp;rchsuchen...</translation>
    </message>
    <message id="10015">
        <source>&amp;View file after generating</source>
        <translation>Datei nach dem Erstellen an&amp;zeigen</translation>
    </message>
    <message id="10016">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="10017">
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message id="10018">
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message id="10019">
        <source>Select folder containing style sheet files</source>
        <translation>Ordner mit den Stylesheets wählen</translation>
    </message>
    <message id="10020">
        <source>Cannot convert this version job file to a Surmex file</source>
        <translation>Jobdateien dieser Version können nicht in Surmex-Dateien umgewandelt werden</translation>
    </message>
    <message id="10021">
        <source>Cannot locate the required file converter (%s)</source>
        <translation>Der benötigte Dateikonverter wurde nicht gefunden (%s)</translation>
    </message>
    <message id="10022">
        <source>The entered value is outside the valid range %*.*f to %*.*f</source>
        <translation>Der eingegebene Wert liegt außerhalb des zulässigen Bereichs von %*.*f bis %*.*f</translation>
    </message>
    <message id="10023">
        <source>A numeric value is required</source>
        <translation>Bitte einen Zahlenwert eingeben</translation>
    </message>
    <message id="10024">
        <source>The entered value is outside the valid range %d to %d</source>
        <translation>Der eingegebene Wert liegt außerhalb des zulässigen Bereichs von %d bis %d</translation>
    </message>
    <message id="10025">
        <source>An integer value is required</source>
        <translation>Bitte eine ganze Zahl eingeben</translation>
    </message>
    <message id="10026">
        <source>Tabulon Help</source>
        <translation>Tabulon-Hilfe</translation>
    </message>
    <message id="10027">
        <source>Details on the operation of the Tabulon</source>
        <translation>Hinweise zur Bedienung von Tabulon</translation>
    </message>
    <message id="10028">
        <source>Introduction</source>
        <translation>Einführung</translation>
    </message>
    <message id="10029">
        <source>Tabulon creates customized text output files and reports from the job data of Stakora field software, version 11 or later.</source>
        <translation>Tabulon erstellt angepasste Textdateien und Berichte aus den Auftragsdaten der Feldsoftware Stakora ab Version 11.</translation>
    </message>
    <message id="10030">
        <source>It makes them by applying the XSLT style sheet you choose to the job file or Surmex file you choose.</source>
        <translation>Dazu wendet es das von Ihnen gewählte XSLT-Stylesheet auf die gewählte Jobdatei oder Surmex-Datei an.</translation>
    </message>
    <message id="10031">
        <source>XSLT style sheets</source>
        <translation>XSLT-Stylesheets</translation>
    </message>
    <message id="10032">
        <source>Sample style sheets and their documentation are supplied on the Stakora CD.</source>
        <translation>Beispiel-Stylesheets und ihre Dokumentation finden Sie auf der Stakora-CD.</translation>
    </message>
    <message id="10033">
        <source>The documentation explains how a style sheet sets the extension of the output file and declares user variables whose values are asked for when the file is created, and gives tips for writing your own style sheets.</source>
        <translation>Die Dokumentation erklärt, wie ein Stylesheet die Dateierweiterung der Ausgabedatei festlegt und Benutzervariablen deklariert, deren Werte beim Erstellen der Datei abgefragt werden, und gibt Tipps für eigene Stylesheets.</translation>
    </message>
    <message id="10034">
        <source>More information about XSLT can be found on the Internet, on the web site of the organization that publishes the XSLT standard.</source>
        <translation>Weitere Informationen zu XSLT finden Sie im Internet auf der Website der Organisation, die den XSLT-Standard herausgibt.</translation>
    </message>
    <message id="10035">
        <source>This topic describes how to:</source>
        <translation>In diesem Abschnitt wird beschrieben, wie Sie:</translation>
    </message>
    <message id="10036">
        <source>Use Tabulon to create a formatted file</source>
        <translation>mit Tabulon eine formatierte Datei erstellen</translation>
    </message>
    <message id="10037">
        <source>View the formatted file</source>
        <translation>die formatierte Datei anzeigen</translation>
    </message>
    <message id="10038">
        <source>Using the Tabulon</source>
        <translation>Arbeiten mit Tabulon</translation>
    </message>
    <message id="10039">
        <source>Get the source file. Tabulon reads two source formats, Stakora job files and Surmex files, which are obtained in different ways. Choose one of these:</source>
        <translation>Quelldatei bereitstellen. Tabulon liest zwei Quellformate, Stakora-Jobdateien und Surmex-Dateien, die auf unterschiedlichem Weg entstehen. Wählen Sie einen der folgenden Wege:</translation>
    </message>
    <message id="10040">
        <source>Copy the job file from the controller to the office computer with a desktop synchronization tool.</source>
        <translation>Kopieren Sie die Jobdatei mit einem Synchronisationsprogramm vom Feldrechner auf den Bürorechner.</translation>
    </message>
    <message id="10041">
        <source>Create a Surmex file on the controller with the Stakora import and export function, and copy it to the office computer.</source>
        <translation>Erzeugen Sie auf dem Feldrechner mit der Import- und Exportfunktion von Stakora eine Surmex-Datei und kopieren Sie diese auf den Bürorechner.</translation>
    </message>
    <message id="10042">
        <source>Create a Surmex file from a job file with Tabulon: select the job file as the source and Corvane Surmex as the output format.</source>
        <translation>Erzeugen Sie mit Tabulon eine Surmex-Datei aus einer Jobdatei: Wählen Sie die Jobdatei als Quelle und Corvane Surmex als Ausgabeformat.</translation>
    </message>
    <message id="10043">
        <source>Select the source file:</source>
        <translation>Quelldatei auswählen:</translation>
    </message>
    <message id="10044">
        <source>Click the Browse button beside the Source Surmex or Job file field.</source>
        <translation>Klicken Sie neben dem Feld „Quelldatei (Surmex- oder Jobdatei)“ auf „Durchsuchen...“.</translation>
    </message>
    <message id="10045">
        <source>In the Open dialog, set the file type to Job files or Surmex files.</source>
        <translation>Stellen Sie im Dialog „Öffnen“ den Dateityp auf „Jobdateien“ oder „Surmex-Dateien“ ein.</translation>
    </message>
    <message id="10046">
        <source>Select the file and click Open.</source>
        <translation>Markieren Sie die Datei und klicken Sie auf „Öffnen“.</translation>
    </message>
    <message id="10047">
        <source>Choose the format of the file to create in the Output format field.</source>
        <translation>Wählen Sie im Feld „Ausgabeformat“ das Format der zu erstellenden Datei.</translation>
    </message>
    <message id="10048">
        <source>If the format you want is not in the list, choose another style sheet folder:</source>
        <translation>Steht das gewünschte Format nicht in der Liste, wählen Sie einen anderen Stylesheet-Ordner:</translation>
    </message>
    <message id="10049">
        <source>Click the Browse button beside the Output format field.</source>
        <translation>Klicken Sie neben dem Feld „Ausgabeformat“ auf „Durchsuchen...“.</translation>
    </message>
    <message id="10050">
        <source>Locate the folder that holds the style sheets and click OK. The list then shows the style sheets (*.xsl and *.xslt files) of that folder.</source>
        <translation>Wählen Sie den Ordner mit den Stylesheets und klicken Sie auf „OK“. Die Liste zeigt dann die Stylesheets (*.xsl- und *.xslt-Dateien) dieses Ordners.</translation>
    </message>
    <message id="10051">
        <source>Select a format from the list.</source>
        <translation>Wählen Sie ein Format aus der Liste.</translation>
    </message>
    <message id="10052">
        <source>Note: The built-in format Corvane Surmex is always in the list. It saves the source data as a Surmex file without applying a style sheet.</source>
        <translation>Hinweis: Das eingebaute Format Corvane Surmex steht immer in der Liste. Es speichert die Quelldaten ohne Stylesheet als Surmex-Datei.</translation>
    </message>
    <message id="10053">
        <source>Answer the prompts for the style sheet's customizable variables, if it has any. Tabulon shows them after you click OK, before it creates the file.</source>
        <translation>Beantworten Sie die Abfragen zu den anpassbaren Variablen des Stylesheets, sofern es welche hat. Tabulon stellt sie nach dem Klick auf „OK“, bevor es die Datei erstellt.</translation>
    </message>
    <message id="10054">
        <source>Select the View file after generating check box to see the file as soon as it has been created.</source>
        <translation>Aktivieren Sie „Datei nach dem Erstellen anzeigen“, wenn Sie die Datei gleich nach dem Erstellen sehen möchten.</translation>
    </message>
    <message id="10055">
        <source>Click OK.</source>
        <translation>Klicken Sie auf „OK“.</translation>
    </message>
    <message id="10056">
        <source>Tabulon creates the output file as the style sheet defines it, with the file extension the style sheet names, and asks where to save it.</source>
        <translation>Tabulon erstellt die Ausgabedatei so, wie das Stylesheet sie festlegt, mit der dort angegebenen Dateierweiterung, und fragt, wo sie gespeichert werden soll.</translation>
    </message>
    <message id="10057">
        <source>If an error occurs, a message describes it. The usual cause is a fault in the style sheet.</source>
        <translation>Tritt ein Fehler auf, wird er in einer Meldung beschrieben. Meist liegt die Ursache in einem fehlerhaften Stylesheet.</translation>
    </message>
    <message id="10058">
        <source>Viewing the formatted file</source>
        <translation>Formatierte Datei anzeigen</translation>
    </message>
    <message id="10059">
        <source>If you selected the View file after generating check box in step 5, the new file is shown as soon as it has been saved:</source>
        <translation>Wenn Sie in Schritt 5 „Datei nach dem Erstellen anzeigen“ aktiviert haben, wird die neue Datei gleich nach dem Speichern angezeigt:</translation>
    </message>
    <message id="10060">
        <source>HTML, HTM and SVG files open in the application associated with them, usually a web browser.</source>
        <translation>HTML-, HTM- und SVG-Dateien werden mit der zugeordneten Anwendung geöffnet, meist einem Webbrowser.</translation>
    </message>
    <message id="10061">
        <source>All other files open in the text viewer, which by default is the system's text editor.</source>
        <translation>Alle anderen Dateien werden im Textbetrachter geöffnet, standardmäßig im Texteditor des Systems.</translation>
    </message>
    <message id="10062">
        <source>To view those other files with a different program, enter its full path, or a name found on the search path, as the per-user setting TextFileViewer: a text value under the key HKEY_CURRENT_USER\Software\Corvane\Tabulon. Tabulon reads it when it starts and uses the system's text editor when the program cannot be found.</source>
        <translation>Um diese Dateien mit einem anderen Programm anzuzeigen, tragen Sie dessen vollständigen Pfad oder einen über den Suchpfad auffindbaren Namen als benutzerbezogene Einstellung TextFileViewer ein: einen Textwert unter dem Schlüssel HKEY_CURRENT_USER\Software\Corvane\Tabulon. Tabulon liest ihn beim Start und verwendet den Texteditor des Systems, wenn das Programm nicht gefunden wird.</translation>
    </message>
    <message id="10063">
        <source>Closing the Tabulon</source>
        <translation>Tabulon beenden</translation>
    </message>
    <message id="10064">
        <source>Click the Close button when you have finished.</source>
        <translation>Klicken Sie auf „Schließen“, wenn Sie fertig sind.</translation>
    </message>
    <message id="10065">
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message id="10066">
        <source>A required grid file could not be located in the GeoData folder (%s).</source>
        <translation>Eine benötigte Gitterdatei wurde im GeoData-Ordner nicht gefunden (%s).</translation>
    </message>
    <message id="10067">
        <source>The grid file is needed when converting the selected job file to a Surmex file for use in the processing.</source>
        <translation>Die Gitterdatei wird benötigt, um die gewählte Jobdatei für die Verarbeitung in eine Surmex-Datei umzuwandeln.</translation>
    </message>
    <message id="10068">
        <source>No computed grid coordinates will be available for output.</source>
        <translation>Für die Ausgabe stehen keine berechneten Gitterkoordinaten zur Verfügung.</translation>
    </message>
    <message id="10069">
        <source>User input value</source>
        <translation>Benutzereingabe</translation>
    </message>
    <message id="10070">
        <source>No alignments found in selected LandXML file</source>
        <translation>Die gewählte LandXML-Datei enthält keine Achsen</translation>
    </message>
    <message id="10071">
        <source>Select alignment to export:</source>
        <translation>Zu exportierende Achse wählen:</translation>
    </message>
    <message id="10072">
        <source>Select cross-section surface to export:</source>
        <translation>Zu exportierende Querprofiloberfläche wählen:</translation>
    </message>
    <message id="10073">
        <source>Select tunnel profile to export:</source>
        <translation>Zu exportierendes Tunnelprofil wählen:</translation>
    </message>
    <message id="10074">
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message id="10075">
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message id="10076">
        <source>Information</source>
        <translation>Hinweis</translation>
    </message>
    <message id="10077">
        <source>Application Error</source>
        <translation>Anwendungsfehler</translation>
    </message>
    <message id="10078">
        <source>This utility program will apply the style sheet specified as parameter 2 to the Corvane Stakora</source>
        <translation>Dieses Hilfsprogramm wendet das als Parameter 2 angegebene Stylesheet auf die als Parameter 1 angegebene</translation>
    </message>
    <message id="10079">
        <source>Job or Surmex file specified as parameter 1, to produce the transformed output file. An optional 3rd parameter</source>
        <translation>Corvane-Stakora-Jobdatei oder Surmex-Datei an und erzeugt daraus die Ausgabedatei. Mit einem optionalen</translation>
    </message>
    <message id="10080">
        <source>allows you to specify the name of the output file to be created - if specified the File Save dialog will not</source>
        <translation>3. Parameter geben Sie den Namen der zu erstellenden Ausgabedatei an; dann erscheint der Dialog zum Speichern</translation>
    </message>
    <message id="10081">
        <source>be presented. The Corvane Stakora converter installed on the computer will be used to convert a</source>
        <translation>nicht. Eine angegebene Jobdatei wird vor dem Anwenden des Stylesheets mit dem auf dem Computer installierten</translation>
    </message>
    <message id="10082">
        <source>specified Job file to a Surmex file prior to application of the style sheet.</source>
        <translation>Corvane-Stakora-Konverter in eine Surmex-Datei umgewandelt.</translation>
    </message>
    <message id="10083">
        <source>Syntax: %s &lt;full Job or Surmex file name&gt; &lt;full style sheet file name&gt; [&lt;full output file name&gt;]</source>
        <translation>Syntax: %s &lt;vollständiger Name der Job- oder Surmex-Datei&gt; &lt;vollständiger Name des Stylesheets&gt; [&lt;vollständiger Name der Ausgabedatei&gt;]</translation>
    </message>
    <message id="10084">
        <source>%s --help shows this text, %s --version the version of the program.</source>
        <translation>%s --help zeigt diesen Text, %s --version die Version des Programms.</translation>
    </message>
    <message id="10085">
        <source>Argument %d is not valid text in the system's encoding, so the file it names cannot be used: a different name would be read or written. Rename the file, or run with a locale whose encoding can spell its name.</source>
        <translation>Argument %d ist in der Zeichenkodierung des Systems kein gültiger Text. Die Datei, die es nennt, kann nicht verwendet werden, weil eine andere gelesen oder geschrieben würde. Benennen Sie die Datei um oder verwenden Sie ein Gebietsschema, dessen Kodierung ihren Namen darstellen kann.</translation>
    </message>
    <message id="10086">
        <source>There is no display to show the window on. Without one, name the source file and the style sheet on the command line.</source>
        <translation>Es gibt keine Anzeige, auf der das Fenster erscheinen könnte. Geben Sie ohne Anzeige die Quelldatei und das Stylesheet auf der Befehlszeile an.</translation>
    </message>
    <message id="10087">
        <source>Save as [%s]: </source>
        <translation>Speichern unter [%s]: </translation>
    </message>
    <message id="10088">
        <source>The name typed is not valid text in the system's encoding.</source>
        <translation>Der eingegebene Name ist in der Zeichenkodierung des Systems kein gültiger Text.</translation>
    </message>
    <message id="10089">
        <source>%s is a folder.</source>
        <translation>%s ist ein Ordner.</translation>
    </message>
    <message id="10090">
        <source>%s already exists. Replace it? [y/N]: </source>
        <translation>%s gibt es bereits. Ersetzen? [j/N]: </translation>
    </message>
    <message id="10091">
        <source>y</source>
        <translation>j</translation>
    </message>
    <message id="10092">
        <source>%s is not a file.</source>
        <translation>%s ist keine Datei.</translation>
    </message>
    <message id="10093">
        <source>no item chosen</source>
        <translation>kein Eintrag gewählt</translation>
    </message>
    <message id="10094">
        <source>"%s" is not one of the items</source>
        <translation>„%s“ ist keiner der Einträge</translation>
    </message>
    <message id="10095">
        <source>Cancelled: the input ended before an answer came, so nothing is written.</source>
        <translation>Abgebrochen: Die Eingabe endete vor einer Antwort, daher wird nichts geschrieben.</translation>
    </message>
    <message id="10096">
        <source>The style sheet's fileExt variable has no select attribute, so the output extension cannot be read.</source>
        <translation>Die Variable fileExt des Stylesheets hat kein Attribut select, daher lässt sich die Erweiterung der Ausgabedatei nicht lesen.</translation>
    </message>
    <message id="10097">
        <source>Cannot read %s: %s</source>
        <translation>%s kann nicht gelesen werden: %s</translation>
    </message>
    <message id="10098">
        <source>Cannot write %s: it is a folder</source>
        <translation>%s kann nicht geschrieben werden: Es ist ein Ordner</translation>
    </message>
    <message id="10099">
        <source>Cannot write %s: %s</source>
        <translation>%s kann nicht geschrieben werden: %s</translation>
    </message>
    <message id="10100">
        <source>%s is written, but its permissions could not be kept: %s</source>
        <translation>%s ist geschrieben, aber seine Zugriffsrechte konnten nicht erhalten werden: %s</translation>
    </message>
    <message id="10101">
        <source>The output name %s ends in a folder separator, so it names a folder, not a file.</source>
        <translation>Der Ausgabename %s endet mit einem Ordnertrennzeichen und nennt daher einen Ordner, keine Datei.</translation>
    </message>
    <message id="10102">
        <source>The output name %s names a folder, not a file.</source>
        <translation>Der Ausgabename %s nennt einen Ordner, keine Datei.</translation>
    </message>
    <message id="10103">
        <source>The output name %s names a pipe, device or socket, not a file; it is not replaced.</source>
        <translation>Der Ausgabename %s nennt eine Pipe, ein Gerät oder einen Socket, keine Datei; er wird nicht ersetzt.</translation>
    </message>
    <message id="10104">
        <source>The output name %s names a file this run reads (the source, the style sheet or a file the style sheet reads); it is not replaced.</source>
        <translation>Der Ausgabename %s nennt eine Datei, die dieser Lauf liest (die Quelle, das Stylesheet oder eine vom Stylesheet gelesene Datei); sie wird nicht ersetzt.</translation>
    </message>
    <message id="10105">
        <source>The style sheet declares the output extension "%s", which is not a valid extension.</source>
        <translation>Das Stylesheet gibt als Erweiterung der Ausgabedatei „%s“ an; das ist keine gültige Erweiterung.</translation>
    </message>
    <message id="10106">
        <source>Cannot open %s: %s</source>
        <translation>%s kann nicht geöffnet werden: %s</translation>
    </message>
    <message id="10107">
        <source>Invalid data type for '%s' (a value of %s, where text is expected)</source>
        <translation>Ungültiger Datentyp für „%s“ (ein Wert von %s, wo Text erwartet wird)</translation>
    </message>
    <message id="10108">
        <source>Cannot read the converted file %s: %s</source>
        <translation>Die umgewandelte Datei %s kann nicht gelesen werden: %s</translation>
    </message>
    <message id="10109">
        <source>Converter libraries are registered in %s, under HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\Linkora\Device Drivers; none is registered there.</source>
        <translation>Konverterbibliotheken werden in %s unter HKEY_LOCAL_MACHINE\SOFTWARE\Corvane\Linkora\Device Drivers eingetragen; dort ist keine eingetragen.</translation>
    </message>
    <message id="10110">
        <source>The entered value holds a character that cannot be used: U+%s at position %d</source>
        <translation>Der eingegebene Wert enthält ein Zeichen, das nicht verwendet werden kann: U+%s an Position %d</translation>
    </message>
    <message id="10111">
        <source>%s is saved, but the text viewer %s could not be started. To use another program, set the text value TextFileViewer under [HKEY_CURRENT_USER\Software\Corvane\Tabulon] in %s.</source>
        <translation>%s ist gespeichert, aber das Anzeigeprogramm %s konnte nicht gestartet werden. Um ein anderes Programm zu verwenden, setzen Sie den Textwert TextFileViewer unter [HKEY_CURRENT_USER\Software\Corvane\Tabulon] in %s.</translation>
    </message>
    <message id="10112">
        <source>%s is saved, but %s could not be started to open it in the application associated with its type.</source>
        <translation>%s ist gespeichert, aber %s konnte nicht gestartet werden, um die Datei mit der Anwendung zu öffnen, die ihrem Typ zugeordnet ist.</translation>
    </message>
    <message id="10113">
        <source>How to write style sheets for Tabulon, with examples to start from, is described in the guide %s.</source>
        <translation>Wie man Stylesheets für Tabulon schreibt, beschreibt mit Beispielen zum Anfangen die Anleitung %s.</translation>
    </message>
</context>
</TS>

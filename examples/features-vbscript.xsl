<?xml version="1.0" encoding="UTF-8"?>
<!-- Feature summary of a Surmex job: points counted by feature class with their elevation range,
     written in VBScript, and each station setup with its date and mean horizontal distance, the
     reduction done in a JScript block under another prefix. Numbers and dates follow the locale. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt"
    xmlns:vb="urn:tabulon-example:features" xmlns:js="urn:tabulon-example:reduction">
  <xsl:output method="text" encoding="UTF-8"/>
  <xsl:variable name="fileExt" select="'txt'"/>

  <msxsl:script language="VBScript" implements-prefix="vb"><![CDATA[
    Option Explicit

    ' Feature codes of the field crew, grouped as the drawing office reports them.
    Function FeatureClass(code)
      Select Case UCase(Trim(code))
        Case "CP", "STN", "RO" : FeatureClass = "Control"
        Case "KERB", "EOR" : FeatureClass = "Road edge"
        Case "FENCE", "BB" : FeatureClass = "Boundary"
        Case "TREE" : FeatureClass = "Vegetation"
        Case "BLDG" : FeatureClass = "Structure"
        Case "MH", "HYD", "LP" : FeatureClass = "Utility"
        Case Else : FeatureClass = "Levels"
      End Select
    End Function

    ' What the points of one feature class span: their count, lowest and highest elevation.
    Class ElevationRange
      Public Count, Lowest, Highest

      Public Sub Add(z)
        If Count = 0 Then
          Lowest = z : Highest = z
        ElseIf z < Lowest Then
          Lowest = z
        ElseIf z > Highest Then
          Highest = z
        End If
        Count = Count + 1
      End Sub

      Public Default Property Get Text()
        Text = Right(Space(5) & Count, 5) & "  " & FormatNumber(Lowest, 2) & " to " & FormatNumber(Highest, 2)
      End Property
    End Class

    ' One line per class.
    Function Summary(points)
      Dim classes, point, name, key, lines
      Set classes = CreateObject("Scripting.Dictionary")
      For Each point In points
        name = FeatureClass(point.selectSingleNode("Code").Text)
        If Not classes.Exists(name) Then classes.Add name, New ElevationRange
        classes(name).Add CDbl(point.selectSingleNode("Grid/Elevation").Text)
      Next
      For Each key In classes.Keys
        lines = lines & Left(key & Space(12), 12) & classes(key) & vbLf
      Next
      Summary = lines
    End Function

    ' 2024-05-14T07:40:00 as the locale writes a long date and a time.
    Function SetupDate(stamp)
      Dim d
      d = DateSerial(Left(stamp, 4), Mid(stamp, 6, 2), Mid(stamp, 9, 2)) + _
          TimeSerial(Mid(stamp, 12, 2), Mid(stamp, 15, 2), 0)
      SetupDate = FormatDateTime(d, vbLongDate) & " " & FormatDateTime(d, vbShortTime)
    End Function
  ]]></msxsl:script>

  <msxsl:script language="JScript" implements-prefix="js"><![CDATA[
    // Mean horizontal distance of the observations: slope distance times the sine of the zenith
    // angle, in decimal degrees.
    function meanHorizontal(observations) {
      var sum = 0;
      for (var i = 0; i < observations.length; ++i) {
        var o = observations.item(i);
        var zenith = Number(o.selectSingleNode('VerticalAngle').text) * Math.PI / 180;
        sum += Number(o.selectSingleNode('SlopeDistance').text) * Math.sin(zenith);
      }
      return observations.length ? sum / observations.length : 0;
    }
  ]]></msxsl:script>

  <xsl:template match="/">
    <xsl:text>Features of </xsl:text>
    <xsl:value-of select="SurmexJob/JobProperties/JobName"/>
    <xsl:text>&#10;&#10;</xsl:text>
    <xsl:value-of select="vb:Summary(SurmexJob/Points/Point)"/>
    <xsl:text>&#10;Station setups&#10;</xsl:text>
    <xsl:for-each select="SurmexJob/StationSetups/Station">
      <xsl:value-of select="StationPoint"/>
      <xsl:text>  </xsl:text>
      <xsl:value-of select="vb:SetupDate(string(SetupTime))"/>
      <xsl:text>  mean horizontal distance </xsl:text>
      <xsl:value-of select="format-number(js:meanHorizontal(Observations/Observation), '0.000')"/>
      <xsl:text>&#10;</xsl:text>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>

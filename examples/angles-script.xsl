<?xml version="1.0" encoding="UTF-8"?>
<!-- Total-station observations of a Surmex job with angles in degrees, minutes and seconds and
     horizontal distances: the formatting is done by functions of a JScript block. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
    xmlns:msxsl="urn:schemas-microsoft-com:xslt" xmlns:survey="urn:tabulon-examples:survey"
    exclude-result-prefixes="msxsl survey">
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="fileExt" select="'txt'"/>

  <msxsl:script language="JScript" implements-prefix="survey"><![CDATA[
    // An XPath argument is a number, a text or a node list; a node list stands for its first node.
    function valueOf(argument) {
      if (typeof argument === 'object' && argument !== null) {
        var node = argument.item(0);
        return node ? Number(node.text) : NaN;
      }
      return Number(argument);
    }

    function pad(text, width) {
      text = String(text);
      while (text.length < width)
        text = '0' + text;
      return text;
    }

    // Decimal degrees as 123°04'05.6", rounded to the given decimals of a second.
    function dms(degrees, decimals) {
      if (isNaN(degrees))
        return '';
      var sign = degrees < 0 ? '-' : '';
      var factor = Math.pow(10, decimals);
      var seconds = Math.round(Math.abs(degrees) * 3600 * factor) / factor;
      var d = Math.floor(seconds / 3600);
      var m = Math.floor((seconds - d * 3600) / 60);
      var s = (seconds - d * 3600 - m * 60).toFixed(decimals);
      return sign + d + '\u00b0' + pad(m, 2) + "'" + pad(s, decimals > 0 ? decimals + 3 : 2) + '"';
    }

    function formatAngle(angle, decimals) {
      return dms(valueOf(angle), valueOf(decimals));
    }

    // Grid bearing of an observation from the backsight azimuth and the horizontal circle reading.
    function bearing(backsightAzimuth, horizontalAngle, decimals) {
      var value = (valueOf(backsightAzimuth) + valueOf(horizontalAngle)) % 360;
      return dms(value, valueOf(decimals));
    }

    function horizontalDistance(slopeDistance, zenithAngle, decimals) {
      var value = valueOf(slopeDistance) * Math.sin(valueOf(zenithAngle) * Math.PI / 180);
      return isNaN(value) ? '' : value.toFixed(valueOf(decimals));
    }
  ]]></msxsl:script>

  <xsl:template match="/">
    <xsl:value-of select="SurmexJob/JobProperties/JobName"/>
    <xsl:text>: observations&#10;</xsl:text>
    <xsl:for-each select="SurmexJob/StationSetups/Station">
      <xsl:text>&#10;Station </xsl:text>
      <xsl:value-of select="StationPoint"/>
      <xsl:text>, set up </xsl:text>
      <xsl:value-of select="msxsl:format-date(SetupTime, 'd MMMM yyyy', 'en-GB')"/>
      <xsl:text> at </xsl:text>
      <xsl:value-of select="msxsl:format-time(SetupTime, 'HH:mm', 'en-GB')"/>
      <xsl:text>, backsight </xsl:text>
      <xsl:value-of select="Backsight/PointName"/>
      <xsl:text> at </xsl:text>
      <xsl:value-of select="survey:formatAngle(Backsight/Azimuth, 0)"/>
      <xsl:text>&#10;Target,Horizontal angle,Zenith angle,Bearing,Slope distance,Horizontal distance&#10;</xsl:text>
      <xsl:variable name="azimuth" select="Backsight/Azimuth"/>
      <xsl:for-each select="Observations/Observation">
        <xsl:value-of select="Target"/>
        <xsl:text>,</xsl:text>
        <xsl:value-of select="survey:formatAngle(HorizontalAngle, 1)"/>
        <xsl:text>,</xsl:text>
        <xsl:value-of select="survey:formatAngle(VerticalAngle, 1)"/>
        <xsl:text>,</xsl:text>
        <xsl:value-of select="survey:bearing($azimuth, HorizontalAngle, 0)"/>
        <xsl:text>,</xsl:text>
        <xsl:value-of select="format-number(SlopeDistance, '0.000')"/>
        <xsl:text>,</xsl:text>
        <xsl:value-of select="survey:horizontalDistance(SlopeDistance, VerticalAngle, 3)"/>
        <xsl:text>&#10;</xsl:text>
      </xsl:for-each>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>

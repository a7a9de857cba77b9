<?xml version="1.0" encoding="UTF-8"?>
<!--
  The smallest useful style sheet for Tabulon: the control points of a Surmex job as a text file,
  with one question asked on every run.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>

  <!-- The output file's extension. -->
  <xsl:variable name="fileExt" select="'txt'"/>

  <!-- A question: the answer replaces the select of the variable "checkedBy". -->
  <xsl:variable name="userFieldCheckedBy" select="'checkedBy|Checked by|STRING'"/>
  <xsl:variable name="checkedBy" select="'nobody yet'"/>

  <xsl:template match="/">
    <xsl:value-of select="concat(SurmexJob/JobProperties/JobName, ': control points&#10;')"/>
    <xsl:for-each select="SurmexJob/Points/Point[Code = 'CP']">
      <xsl:value-of select="concat(Name, '&#9;', Grid/North, '&#9;', Grid/East, '&#9;', Grid/Elevation, '&#10;')"/>
    </xsl:for-each>
    <xsl:value-of select="concat('Checked by: ', $checkedBy, '&#10;')"/>
  </xsl:template>
</xsl:stylesheet>

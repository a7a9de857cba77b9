<?xml version="1.0" encoding="UTF-8"?>
<!--
  Point list of a Surmex job that asks for its settings on every run: a title, the code to list,
  the number of decimals, a height shift, and a previous survey of the same site whose points are
  compared with this job's. One user field of each kind.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="fileExt" select="'txt'"/>

  <xsl:variable name="userFieldTitle" select="'title|Report title|STRING'"/>
  <xsl:variable name="userFieldCode" select="'codeToList|Point code to list|STRINGMENU|6|All|CP|KERB|EOR|SPOT|TREE'"/>
  <xsl:variable name="userFieldDecimals" select="'decimals|Number of decimals|INTEGER|0|4'"/>
  <xsl:variable name="userFieldHeightShift" select="'heightShift|Height shift (m)|DOUBLE|-100|100'"/>
  <xsl:variable name="userFieldPrevious" select="'previousJob|Previous survey to compare with|FILENAME|smx'"/>

  <xsl:variable name="title" select="'Point list'"/>
  <xsl:variable name="codeToList" select="'All'"/>
  <xsl:variable name="decimals" select="3"/>
  <xsl:variable name="heightShift" select="0.000"/>
  <xsl:variable name="previousJob" select="''"/>

  <xsl:variable name="pattern">
    <xsl:text>0</xsl:text>
    <xsl:if test="$decimals &gt; 0">
      <xsl:value-of select="concat('.', substring('0000', 1, $decimals))"/>
    </xsl:if>
  </xsl:variable>
  <xsl:variable name="previousPoints" select="document($previousJob)/SurmexJob/Points/Point"/>

  <xsl:template match="/">
    <xsl:value-of select="$title"/>
    <xsl:text>&#10;</xsl:text>
    <xsl:value-of select="concat('Job: ', SurmexJob/JobProperties/JobName, '&#10;')"/>
    <xsl:value-of select="concat('Points: ', $codeToList, '; heights shifted by ',
                                 format-number($heightShift, $pattern), ' m&#10;')"/>
    <xsl:value-of select="concat('Compared with: ', $previousJob, '&#10;&#10;')"/>
    <xsl:text>Name&#9;Code&#9;North&#9;East&#9;Elevation&#9;dN&#9;dE&#9;dH&#10;</xsl:text>
    <xsl:apply-templates select="SurmexJob/Points/Point[$codeToList = 'All' or Code = $codeToList]"/>
  </xsl:template>

  <xsl:template match="Point">
    <xsl:variable name="elevation" select="Grid/Elevation + $heightShift"/>
    <xsl:value-of select="concat(Name, '&#9;', Code, '&#9;',
                                 format-number(Grid/North, $pattern), '&#9;',
                                 format-number(Grid/East, $pattern), '&#9;',
                                 format-number($elevation, $pattern), '&#9;')"/>
    <xsl:variable name="before" select="$previousPoints[Name = current()/Name][1]"/>
    <xsl:choose>
      <xsl:when test="$before">
        <xsl:value-of select="concat(format-number(Grid/North - $before/Grid/North, $pattern), '&#9;',
                                     format-number(Grid/East - $before/Grid/East, $pattern), '&#9;',
                                     format-number($elevation - $before/Grid/Elevation, $pattern))"/>
      </xsl:when>
      <xsl:otherwise>new&#9;new&#9;new</xsl:otherwise>
    </xsl:choose>
    <xsl:text>&#10;</xsl:text>
  </xsl:template>
</xsl:stylesheet>

<?xml version="1.0" encoding="UTF-8"?>
<!--
  A job summary that uses the extension functions Tabulon offers besides XSLT 1.0: those of the
  namespace urn:schemas-microsoft-com:xslt and the EXSLT modules.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:msxsl="urn:schemas-microsoft-com:xslt"
                xmlns:math="http://exslt.org/math"
                xmlns:set="http://exslt.org/sets"
                exclude-result-prefixes="msxsl math set">
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:variable name="fileExt" select="'txt'"/>

  <!-- A result tree fragment, made a node set again by msxsl:node-set below. -->
  <xsl:variable name="codes">
    <xsl:for-each select="set:distinct(SurmexJob/Points/Point/Code)">
      <xsl:sort select="."/>
      <code name="{.}" count="{count(/SurmexJob/Points/Point[Code = current()])}"/>
    </xsl:for-each>
  </xsl:variable>

  <xsl:template match="/">
    <xsl:variable name="job" select="SurmexJob/JobProperties"/>
    <xsl:value-of select="concat($job/JobName, ', surveyed on ',
                                 msxsl:format-date($job/Date, 'dddd d MMMM yyyy', 'en-GB'), '&#10;')"/>
    <xsl:value-of select="concat('Exported at ',
                                 msxsl:format-time(SurmexJob/Environment/Exported, 'HH:mm', 'en-GB'), '&#10;')"/>
    <xsl:value-of select="concat('Highest point: ', math:max(SurmexJob/Points/Point/Grid/Elevation), ' m&#10;')"/>
    <xsl:value-of select="concat('Lowest point: ', math:min(SurmexJob/Points/Point/Grid/Elevation), ' m&#10;')"/>
    <xsl:text>Points by code:&#10;</xsl:text>
    <xsl:for-each select="msxsl:node-set($codes)/code">
      <xsl:value-of select="concat('  ', @name, ' ', @count, '&#10;')"/>
    </xsl:for-each>
    <!-- 0 when equal: "i" compares ignoring case. -->
    <xsl:if test="msxsl:string-compare('kerb', 'KERB', 'en-US', 'i') = 0">
      <xsl:text>Codes compare ignoring case.&#10;</xsl:text>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>

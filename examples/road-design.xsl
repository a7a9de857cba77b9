<?xml version="1.0" encoding="UTF-8"?>
<!--
  Cross-section points of one surface of one alignment of a LandXML road design, as CSV:
  station, offset, elevation and point code. The program asks which of the file's Alignments and
  which cross-section surface to list, and writes them into the parameters below; the user field
  picks the side of the road.
-->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:lx="http://www.landxml.org/schema/LandXML-1.2"
                xmlns:str="http://exslt.org/strings"
                exclude-result-prefixes="lx str">
  <xsl:output method="text" encoding="UTF-8"/>

  <xsl:param name="selectedAlignment" select="''"/>
  <xsl:param name="xSectSurfToExport" select="''"/>

  <xsl:variable name="fileExt" select="'csv'"/>

  <xsl:variable name="userFieldSide" select="'side|Side of the road|STRINGMENU|3|Both|Left|Right'"/>
  <xsl:variable name="side" select="'Both'"/>

  <xsl:variable name="upper" select="'ABCDEFGHIJKLMNOPQRSTUVWXYZ'"/>
  <xsl:variable name="lower" select="'abcdefghijklmnopqrstuvwxyz'"/>

  <xsl:template match="/">
    <xsl:value-of select="concat('Alignment,', $selectedAlignment, '&#10;')"/>
    <xsl:value-of select="concat('Surface,', $xSectSurfToExport, '&#10;')"/>
    <xsl:value-of select="concat('Side,', $side, '&#10;')"/>
    <xsl:text>Station,Offset,Elevation,Code&#10;</xsl:text>
    <xsl:for-each select="/lx:LandXML/lx:Alignments/*[@name = $selectedAlignment]/lx:CrossSects/lx:CrossSect">
      <xsl:variable name="station" select="@sta"/>
      <xsl:for-each select="lx:DesignCrossSectSurf | lx:CrossSectSurf">
        <xsl:variable name="label">
          <xsl:call-template name="surface-label"/>
        </xsl:variable>
        <xsl:if test="$label = $xSectSurfToExport">
          <xsl:apply-templates select="lx:CrossSectPnt | lx:PntList2D">
            <xsl:with-param name="station" select="$station"/>
          </xsl:apply-templates>
        </xsl:if>
      </xsl:for-each>
    </xsl:for-each>
  </xsl:template>

  <!-- The label the program offers for a surface: name and description joined by a dash, either
       alone when the other is empty or they are the same, the cross-sections' name when both are. -->
  <xsl:template name="surface-label">
    <xsl:variable name="name" select="string(@name)"/>
    <xsl:variable name="desc" select="string(@desc)"/>
    <xsl:choose>
      <xsl:when test="$name = '' and $desc = '' and self::lx:DesignCrossSectSurf">
        <xsl:value-of select="../../@name"/>
      </xsl:when>
      <xsl:when test="$desc = '' or translate($desc, $lower, $upper) = translate($name, $lower, $upper)">
        <xsl:value-of select="$name"/>
      </xsl:when>
      <xsl:when test="$name = ''">
        <xsl:value-of select="$desc"/>
      </xsl:when>
      <xsl:otherwise>
        <xsl:value-of select="concat($name, '-', $desc)"/>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template match="lx:CrossSectPnt">
    <xsl:param name="station"/>
    <xsl:variable name="values" select="str:tokenize(normalize-space(.), ' ')"/>
    <xsl:call-template name="point">
      <xsl:with-param name="station" select="$station"/>
      <xsl:with-param name="offset" select="$values[1]"/>
      <xsl:with-param name="elevation" select="$values[2]"/>
      <xsl:with-param name="code" select="@code"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="lx:PntList2D">
    <xsl:param name="station"/>
    <xsl:variable name="values" select="str:tokenize(normalize-space(.), ' ')"/>
    <xsl:for-each select="$values[position() mod 2 = 1]">
      <xsl:variable name="index" select="position() * 2"/>
      <xsl:call-template name="point">
        <xsl:with-param name="station" select="$station"/>
        <xsl:with-param name="offset" select="."/>
        <xsl:with-param name="elevation" select="$values[$index]"/>
      </xsl:call-template>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="point">
    <xsl:param name="station"/>
    <xsl:param name="offset"/>
    <xsl:param name="elevation"/>
    <xsl:param name="code" select="''"/>
    <xsl:if test="$side = 'Both' or ($side = 'Left' and $offset &lt;= 0) or ($side = 'Right' and $offset &gt;= 0)">
      <xsl:value-of select="concat(format-number($station, '0.000'), ',', format-number($offset, '0.000'), ',',
                                   format-number($elevation, '0.000'), ',', $code, '&#10;')"/>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>

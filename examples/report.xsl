<?xml version="1.0" encoding="UTF-8"?>
<!-- Survey report of a Surmex job as a web page: job summary, points by code, station setups
     with their observation figures, and the full point list. -->
<xsl:stylesheet version="1.0"
                xmlns:xsl="http://www.w3.org/1999/XSL/Transform"
                xmlns:msxsl="urn:schemas-microsoft-com:xslt"
                exclude-result-prefixes="msxsl">
  <xsl:output method="html" encoding="UTF-8" indent="yes" doctype-system="about:legacy-compat"/>

  <xsl:variable name="fileExt" select="'html'"/>

  <xsl:key name="observations-by-target" match="Observation[not(@role = 'backsight')]" use="Target"/>

  <xsl:variable name="job" select="/SurmexJob/JobProperties"/>
  <xsl:variable name="points" select="/SurmexJob/Points/Point"/>
  <xsl:variable name="stations" select="/SurmexJob/StationSetups/Station"/>
  <xsl:variable name="pointCount" select="count($points)"/>
  <xsl:variable name="angleUnit">
    <xsl:choose>
      <xsl:when test="$job/Units/Angle = 'DecimalDegrees'">°</xsl:when>
      <xsl:when test="$job/Units/Angle = 'Gons'"> gon</xsl:when>
      <xsl:otherwise><xsl:value-of select="concat(' ', $job/Units/Angle)"/></xsl:otherwise>
    </xsl:choose>
  </xsl:variable>

  <!-- Points in order of code and elevation, so that each code is a run whose first and last
       entries are its lowest and highest points. Grouping with a key instead would copy the
       whole group on every key() call, which grows with the square of the job's size. -->
  <xsl:variable name="pointsByCode">
    <xsl:for-each select="$points">
      <xsl:sort select="Code"/>
      <xsl:sort select="Grid/Elevation" data-type="number"/>
      <point code="{Code}" elevation="{Grid/Elevation}"/>
    </xsl:for-each>
  </xsl:variable>

  <!-- One row per code, built first so that it can be ordered by its own count. -->
  <xsl:variable name="codeRows">
    <xsl:variable name="sorted" select="msxsl:node-set($pointsByCode)/point"/>
    <xsl:for-each select="$sorted[not(@code = preceding-sibling::point[1]/@code)]">
      <xsl:variable name="count" select="count(following-sibling::point[@code = current()/@code]) + 1"/>
      <xsl:variable name="last" select="count(preceding-sibling::point) + $count"/>
      <code name="{@code}" count="{$count}" lowest="{@elevation}" highest="{$sorted[$last]/@elevation}"/>
    </xsl:for-each>
  </xsl:variable>

  <!-- One row per station setup with its figures, summed and ranked afterwards. -->
  <xsl:variable name="stationRows">
    <xsl:for-each select="$stations">
      <xsl:variable name="shots" select="Observations/Observation[not(@role = 'backsight')]"/>
      <station id="{@id}" point="{StationPoint}" count="{count($shots)}"
               total="{sum($shots/SlopeDistance)}">
        <xsl:for-each select="$shots/SlopeDistance">
          <xsl:sort select="." data-type="number"/>
          <xsl:if test="position() = 1">
            <xsl:attribute name="shortest"><xsl:value-of select="."/></xsl:attribute>
          </xsl:if>
          <xsl:if test="position() = last()">
            <xsl:attribute name="longest"><xsl:value-of select="."/></xsl:attribute>
            <xsl:attribute name="longestTarget"><xsl:value-of select="../Target"/></xsl:attribute>
          </xsl:if>
        </xsl:for-each>
      </station>
    </xsl:for-each>
  </xsl:variable>

  <xsl:template match="/">
    <html>
      <head>
        <title>Survey report: <xsl:value-of select="$job/JobName"/></title>
        <style>
          body { font-family: sans-serif; font-size: 10pt; margin: 2em; color: #222; }
          h1 { font-size: 16pt; margin-bottom: 0.2em; }
          h2 { font-size: 12pt; margin-top: 1.8em; border-bottom: 1px solid #999; }
          table { border-collapse: collapse; margin-top: 0.5em; }
          th, td { padding: 2px 8px; border: 1px solid #ccc; }
          th { background: #eef; text-align: left; }
          td.num { text-align: right; font-family: monospace; }
          table.props th { background: none; border: none; font-weight: normal; color: #555; }
          table.props td { border: none; }
          tr.total td { font-weight: bold; border-top: 2px solid #888; }
          p.note { color: #555; }
        </style>
      </head>
      <body>
        <h1><xsl:value-of select="$job/JobName"/></h1>
        <p class="note">
          <xsl:text>Exported from </xsl:text>
          <xsl:value-of select="concat(/SurmexJob/Environment/Application, ' ',
                                       /SurmexJob/Environment/ApplicationVersion, ' on ',
                                       translate(/SurmexJob/Environment/Exported, 'T', ' '))"/>
        </p>
        <xsl:call-template name="job-summary"/>
        <xsl:call-template name="codes"/>
        <xsl:call-template name="stations"/>
        <xsl:call-template name="point-list"/>
      </body>
    </html>
  </xsl:template>

  <xsl:template name="job-summary">
    <h2>Job</h2>
    <table class="props">
      <tr><th>Reference</th><td><xsl:value-of select="$job/Reference"/></td></tr>
      <tr><th>Client</th><td><xsl:value-of select="$job/Client"/></td></tr>
      <tr><th>Date</th><td><xsl:value-of select="$job/Date"/></td></tr>
      <tr><th>Operator</th><td><xsl:value-of select="$job/Operator"/></td></tr>
      <tr>
        <th>Units</th>
        <td><xsl:value-of select="concat($job/Units/Distance, ', ', $job/Units/Angle)"/></td>
      </tr>
      <tr>
        <th>Coordinate system</th>
        <td>
          <xsl:value-of select="$job/CoordinateSystem/Name"/>
          <xsl:if test="$job/CoordinateSystem/Projection">
            <xsl:value-of select="concat(' (', $job/CoordinateSystem/Projection, ')')"/>
          </xsl:if>
        </td>
      </tr>
      <tr><th>Heights</th><td><xsl:value-of select="$job/CoordinateSystem/VerticalDatum"/></td></tr>
      <xsl:for-each select="/SurmexJob/Instruments/Instrument">
        <tr>
          <th>Instrument <xsl:value-of select="@id"/></th>
          <td><xsl:value-of select="concat(Model, ', serial ', SerialNumber)"/></td>
        </tr>
      </xsl:for-each>
      <xsl:if test="string($job/Notes)">
        <tr><th>Notes</th><td><xsl:value-of select="$job/Notes"/></td></tr>
      </xsl:if>
    </table>

    <table class="props">
      <tr><th>Points</th><td><xsl:value-of select="$pointCount"/></td></tr>
      <tr><th>Station setups</th><td><xsl:value-of select="count($stations)"/></td></tr>
      <tr>
        <th>Observations</th>
        <td>
          <xsl:value-of select="sum(msxsl:node-set($stationRows)/station/@count)"/>
          <xsl:text> (and </xsl:text>
          <xsl:value-of select="count($stations/Observations/Observation[@role = 'backsight'])"/>
          <xsl:text> to backsights)</xsl:text>
        </td>
      </tr>
      <tr>
        <th>Extent</th>
        <td>
          <xsl:call-template name="range">
            <xsl:with-param name="label" select="'N'"/>
            <xsl:with-param name="values" select="$points/Grid/North"/>
          </xsl:call-template>
          <xsl:text>; </xsl:text>
          <xsl:call-template name="range">
            <xsl:with-param name="label" select="'E'"/>
            <xsl:with-param name="values" select="$points/Grid/East"/>
          </xsl:call-template>
          <xsl:text>; </xsl:text>
          <xsl:call-template name="range">
            <xsl:with-param name="label" select="'H'"/>
            <xsl:with-param name="values" select="$points/Grid/Elevation"/>
          </xsl:call-template>
        </td>
      </tr>
    </table>
  </xsl:template>

  <!-- "label lowest to highest" of a set of numbers. -->
  <xsl:template name="range">
    <xsl:param name="label"/>
    <xsl:param name="values"/>
    <xsl:value-of select="concat($label, ' ')"/>
    <xsl:for-each select="$values">
      <xsl:sort select="." data-type="number"/>
      <xsl:if test="position() = 1">
        <xsl:value-of select="format-number(., '0.000')"/>
      </xsl:if>
      <xsl:if test="position() = last()">
        <xsl:value-of select="concat(' to ', format-number(., '0.000'))"/>
      </xsl:if>
    </xsl:for-each>
  </xsl:template>

  <xsl:template name="codes">
    <h2>Points by code</h2>
    <table>
      <tr><th>Code</th><th>Points</th><th>Share</th><th>Lowest</th><th>Highest</th></tr>
      <xsl:for-each select="msxsl:node-set($codeRows)/code">
        <xsl:sort select="@count" data-type="number" order="descending"/>
        <xsl:sort select="@name"/>
        <tr>
          <td><xsl:value-of select="@name"/></td>
          <td class="num"><xsl:value-of select="@count"/></td>
          <td class="num"><xsl:value-of select="format-number(@count div $pointCount, '0.0%')"/></td>
          <td class="num"><xsl:value-of select="format-number(@lowest, '0.000')"/></td>
          <td class="num"><xsl:value-of select="format-number(@highest, '0.000')"/></td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>

  <xsl:template name="stations">
    <xsl:variable name="rows" select="msxsl:node-set($stationRows)/station"/>
    <h2>Station setups</h2>
    <xsl:choose>
      <xsl:when test="not($stations)">
        <p>No total station setups in this job.</p>
      </xsl:when>
      <xsl:otherwise>
        <table>
          <tr>
            <th>Setup</th><th>Station</th><th>Time</th><th>Instrument height</th><th>Backsight</th>
            <th>Backsight azimuth</th><th>Observations</th><th>Shortest</th><th>Longest</th><th>Mean</th>
          </tr>
          <xsl:for-each select="$stations">
            <!-- The rows were built from these stations, in this order. -->
            <xsl:variable name="index" select="position()"/>
            <xsl:variable name="row" select="$rows[$index]"/>
            <tr>
              <td><xsl:value-of select="@id"/></td>
              <td><xsl:value-of select="StationPoint"/></td>
              <td><xsl:value-of select="translate(SetupTime, 'T', ' ')"/></td>
              <td class="num"><xsl:value-of select="format-number(InstrumentHeight, '0.000')"/></td>
              <td><xsl:value-of select="Backsight/PointName"/></td>
              <td class="num">
                <xsl:value-of select="concat(format-number(Backsight/Azimuth, '0.00000'), $angleUnit)"/>
              </td>
              <td class="num"><xsl:value-of select="$row/@count"/></td>
              <xsl:choose>
                <xsl:when test="$row/@count &gt; 0">
                  <td class="num"><xsl:value-of select="format-number($row/@shortest, '0.000')"/></td>
                  <td class="num"><xsl:value-of select="format-number($row/@longest, '0.000')"/></td>
                  <td class="num">
                    <xsl:value-of select="format-number($row/@total div $row/@count, '0.000')"/>
                  </td>
                </xsl:when>
                <xsl:otherwise><td/><td/><td/></xsl:otherwise>
              </xsl:choose>
            </tr>
          </xsl:for-each>
          <tr class="total">
            <td colspan="6">All setups</td>
            <td class="num"><xsl:value-of select="sum($rows/@count)"/></td>
            <td class="num">
              <xsl:for-each select="$rows[@count &gt; 0]">
                <xsl:sort select="@shortest" data-type="number"/>
                <xsl:if test="position() = 1"><xsl:value-of select="format-number(@shortest, '0.000')"/></xsl:if>
              </xsl:for-each>
            </td>
            <td class="num">
              <xsl:for-each select="$rows[@count &gt; 0]">
                <xsl:sort select="@longest" data-type="number" order="descending"/>
                <xsl:if test="position() = 1"><xsl:value-of select="format-number(@longest, '0.000')"/></xsl:if>
              </xsl:for-each>
            </td>
            <td class="num">
              <xsl:if test="sum($rows/@count) &gt; 0">
                <xsl:value-of select="format-number(sum($rows/@total) div sum($rows/@count), '0.000')"/>
              </xsl:if>
            </td>
          </tr>
        </table>
        <xsl:for-each select="$rows[@count &gt; 0]">
          <xsl:sort select="@longest" data-type="number" order="descending"/>
          <xsl:if test="position() = 1">
            <p class="note">
              <xsl:value-of select="concat('Longest sight: ', format-number(@longest, '0.000'), ' m from ',
                                           @point, ' (', @id, ') to ', @longestTarget, '.')"/>
            </p>
          </xsl:if>
        </xsl:for-each>
      </xsl:otherwise>
    </xsl:choose>
  </xsl:template>

  <xsl:template name="point-list">
    <h2>Points</h2>
    <table>
      <tr>
        <th>Name</th><th>Code</th><th>North</th><th>East</th><th>Elevation</th><th>Observed from</th>
        <th>Description</th>
      </tr>
      <xsl:for-each select="$points">
        <xsl:variable name="shot" select="key('observations-by-target', Name)"/>
        <tr>
          <td><xsl:value-of select="Name"/></td>
          <td><xsl:value-of select="Code"/></td>
          <td class="num"><xsl:value-of select="format-number(Grid/North, '0.000')"/></td>
          <td class="num"><xsl:value-of select="format-number(Grid/East, '0.000')"/></td>
          <td class="num"><xsl:value-of select="format-number(Grid/Elevation, '0.000')"/></td>
          <td>
            <xsl:value-of select="$shot[1]/ancestor::Station/StationPoint"/>
          </td>
          <td><xsl:value-of select="Description"/></td>
        </tr>
      </xsl:for-each>
    </table>
  </xsl:template>
</xsl:stylesheet>

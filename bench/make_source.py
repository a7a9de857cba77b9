#!/usr/bin/env python3
"""Write a Surmex job file of a synthetic topographic survey.

The output has the shape of examples/job.smx: job properties, instruments,
a <Points> list and total-station setups with their observations. The same
arguments always give the same bytes. The file is written as it is
generated, so memory stays flat whatever the point count.

    make_source.py --points 400000 out/large.smx
"""

import argparse
import datetime
import math
import random
import sys

CELL = 40.0  # side of one work area, metres
TOTAL_STATION_EVERY = 4  # one work area in four is picked up by total station, the rest by GNSS rover
TOTAL_STATION_AREA = (14, 26)  # points per work area, control marks included
GNSS_AREA = (28, 48)
CENTRE_N = 5_000_000.0
CENTRE_E = 500_000.0
WORK_START = datetime.datetime(2024, 5, 14, 7, 40, 0)

TREES = ["Oak", "Ash", "Beech", "Birch", "Sycamore", "Lime", "Alder", "Willow", "Pine", "Cherry"]
BUILDINGS = ["House, 2 storeys", "Garage", "Shed", "Barn", "Workshop", "Substation kiosk", "Bus shelter"]


def ground(n, e):
    """Smooth terrain so that neighbouring points have believable levels."""
    x = e - CENTRE_E
    y = n - CENTRE_N
    return (62.0 + 0.012 * x - 0.008 * y + 4.5 * math.sin(x / 310.0) + 3.2 * math.cos(y / 240.0)
            + 1.1 * math.sin((x + y) / 95.0))


class Point:
    __slots__ = ("name", "code", "n", "e", "z", "desc", "target_height")

    def __init__(self, name, code, n, e, z, desc=None, target_height=1.8):
        self.name = name
        self.code = code
        self.n = n
        self.e = e
        self.z = z
        self.desc = desc
        self.target_height = target_height


class Setup:
    __slots__ = ("number", "station", "backsight", "instrument_height", "time", "observations", "backsight_azimuth")


class Site:
    """Yields one work area at a time: its points and, for total-station areas, the setup that observed them."""

    def __init__(self, total_points, seed):
        self.total = total_points
        self.rng = random.Random(seed)
        self.made = 0
        self.next_number = 1001
        self.next_cp = 1
        self.next_setup = 1
        self.clock = WORK_START
        mean = (sum(TOTAL_STATION_AREA) + (TOTAL_STATION_EVERY - 1) * sum(GNSS_AREA)) / (2.0 * TOTAL_STATION_EVERY)
        cells = max(1, math.ceil(total_points / mean))
        self.side = max(1, math.ceil(math.sqrt(cells)))

    def cell_origin(self, index):
        row, col = divmod(index, self.side)
        if row % 2:
            col = self.side - 1 - col
        half = self.side * CELL / 2.0
        return CENTRE_N - half + row * CELL, CENTRE_E - half + col * CELL

    def room(self):
        return self.total - self.made

    def add(self, pts, name, code, n, e, z, desc=None, target_height=None):
        if self.room() <= 0:
            return False
        pts.append(Point(name, code, n, e, z, desc, self.pole if target_height is None else target_height))
        self.made += 1
        return True

    def number(self):
        name = str(self.next_number)
        self.next_number += 1
        return name

    def control_name(self):
        name = "CP%d" % self.next_cp
        self.next_cp += 1
        return name

    def areas(self):
        index = 0
        while self.room() > 0:
            yield self.area(index)
            index += 1

    def area(self, index):
        rng = self.rng
        n0, e0 = self.cell_origin(index)
        pts = []
        total_station = index % TOTAL_STATION_EVERY == 0
        self.pole = rng.choice([1.5, 1.8, 2.0, 2.0])

        def inside():
            return n0 + rng.uniform(1.0, CELL - 1.0), e0 + rng.uniform(1.0, CELL - 1.0)

        station = backsight = None
        if total_station or index % 40 == 0:
            # Control marks now and then; otherwise a total-station area gets its own station and
            # reference object, both fixed by GNSS.
            if index % 40 == 0:
                marks = [(self.control_name(), "CP", "Survey nail in tarmac"),
                         (self.control_name(), "CP", "Concrete block with brass pin")]
            else:
                marks = [("STN%d" % self.next_setup, "STN", None), ("RO%d" % self.next_setup, "RO", None)]
            made = []
            for name, code, desc in marks:
                n, e = inside()
                if self.add(pts, name, code, n, e, ground(n, e) + 0.02, desc):
                    made.append(pts[-1])
            if len(made) == 2:
                station, backsight = made
        detail_from = len(pts)

        goal = max(len(pts), rng.randint(*(TOTAL_STATION_AREA if total_station else GNSS_AREA)))
        while len(pts) < goal and self.room() > 0:
            self.feature(pts, inside, goal - len(pts))

        if self.clock.hour >= 17:
            day = self.clock.date() + datetime.timedelta(days=1)
            self.clock = datetime.datetime.combine(day, WORK_START.time())
        setup = None
        if total_station and station is not None and backsight is not None:
            setup = self.observe(station, backsight, pts[detail_from:])
        else:
            self.clock += datetime.timedelta(seconds=35 * len(pts))
        return pts, setup

    def feature(self, pts, inside, budget):
        rng = self.rng
        kind = rng.choices(
            ["SPOT", "KERB", "EOR", "FENCE", "TREE", "MH", "BLDG", "LP", "HYD", "TB", "BB"],
            weights=[30, 12, 8, 8, 10, 4, 4, 3, 1, 4, 4])[0]
        if kind in ("KERB", "EOR", "FENCE", "TB", "BB"):
            count = min(budget, rng.randint(3, 8))
            n, e = inside()
            bearing = rng.uniform(0, 2 * math.pi)
            step = rng.uniform(3.0, 6.0)
            lift = {"KERB": 0.12, "EOR": 0.0, "FENCE": 0.0, "TB": 0.45, "BB": -0.35}[kind]
            for i in range(count):
                bearing += rng.gauss(0, 0.05)
                desc = None
                if kind == "FENCE" and i == 0:
                    desc = rng.choice(["Post and wire", "Close-boarded 1.8 m", "Chain link 2.0 m", "Post and rail"])
                elif kind == "KERB" and i == 0 and rng.random() < 0.3:
                    desc = "Dropped kerb"
                self.add(pts, self.number(), kind, n, e, ground(n, e) + lift + rng.gauss(0, 0.01), desc)
                n += step * math.cos(bearing)
                e += step * math.sin(bearing)
        elif kind == "BLDG":
            n, e = inside()
            a, b = rng.uniform(4, 12), rng.uniform(4, 10)
            bearing = rng.uniform(0, math.pi / 2)
            c, s = math.cos(bearing), math.sin(bearing)
            floor = ground(n, e) + 0.15
            label = rng.choice(BUILDINGS)
            for i, (u, v) in enumerate([(0, 0), (a, 0), (a, b), (0, b)][:budget]):
                # Corners are shot reflectorless, hence the zero target height.
                self.add(pts, self.number(), "BLDG", n + u * c - v * s, e + u * s + v * c, floor,
                         label if i == 0 else None, 0.0)
        else:
            n, e = inside()
            z = ground(n, e)
            desc = None
            if kind == "TREE":
                desc = "%s girth %.1f m spread %d m" % (rng.choice(TREES), rng.uniform(0.3, 2.4),
                                                       rng.randint(3, 14))
            elif kind == "MH":
                desc = "Cover %s, invert %.2f m" % (rng.choice(["600x600", "600x450", "675 dia"]),
                                                    rng.uniform(0.9, 3.2))
            elif kind == "LP":
                desc = "Lamp post %d m" % rng.choice([5, 6, 8, 10])
            elif kind == "HYD":
                desc = "Fire hydrant"
            elif kind == "SPOT" and rng.random() < 0.04:
                desc = rng.choice(["Soft ground", "Gravel", "Top of wall", "Grass verge"])
            self.add(pts, self.number(), kind, n, e, z, desc)

    def observe(self, station, backsight, targets):
        rng = self.rng
        setup = Setup()
        setup.number = self.next_setup
        self.next_setup += 1
        setup.station = station
        setup.backsight = backsight
        setup.instrument_height = round(rng.uniform(1.40, 1.72), 3)
        setup.time = self.clock
        setup.backsight_azimuth = azimuth(station, backsight)
        setup.observations = [self.measure(setup, backsight, True)]
        for p in targets:
            setup.observations.append(self.measure(setup, p, False))
        self.clock += datetime.timedelta(minutes=12, seconds=40 * len(setup.observations))
        return setup

    def measure(self, setup, target, is_backsight):
        rng = self.rng
        st = setup.station
        th = target.target_height
        dn = target.n - st.n
        de = target.e - st.e
        dz = (target.z + th) - (st.z + setup.instrument_height)
        hd = math.hypot(dn, de)
        sd = math.hypot(hd, dz) + rng.gauss(0, 0.0015)
        zenith = math.degrees(math.atan2(hd, dz)) + rng.gauss(0, 0.0003)
        ha = 0.0 if is_backsight else (azimuth(st, target) - setup.backsight_azimuth + rng.gauss(0, 0.0003)) % 360.0
        return target.name, ha, zenith, sd, th, is_backsight


def azimuth(a, b):
    return math.degrees(math.atan2(b.e - a.e, b.n - a.n)) % 360.0


def esc(text):
    return text.replace("&", "&amp;").replace("<", "&lt;").replace(">", "&gt;")


def write_header(out, args):
    out.write('<?xml version="1.0" encoding="UTF-8"?>\n')
    out.write('<SurmexJob version="3.2">\n')
    out.write("""\
  <Environment>
    <Application>Stakora</Application>
    <ApplicationVersion>6.1.3</ApplicationVersion>
    <Exported>2024-05-17T16:22:05</Exported>
  </Environment>
  <JobProperties>
    <JobName>{name}</JobName>
    <Reference>{reference}</Reference>
    <Client>Millbrook District Council</Client>
    <Date>2024-05-14</Date>
    <Operator>{operator}</Operator>
    <Units>
      <Distance>Metres</Distance>
      <Angle>DecimalDegrees</Angle>
      <Temperature>Celsius</Temperature>
      <Pressure>Millibar</Pressure>
    </Units>
    <CoordinateSystem>
      <Name>Millbrook Site Grid 2024</Name>
      <Projection>Transverse Mercator</Projection>
      <CentralMeridian>9.0</CentralMeridian>
      <ScaleFactor>0.9996</ScaleFactor>
      <FalseNorthing>0.0</FalseNorthing>
      <FalseEasting>500000.0</FalseEasting>
      <Ellipsoid>GRS 1980</Ellipsoid>
      <VerticalDatum>Local levelling datum MB-1</VerticalDatum>
    </CoordinateSystem>
    <Atmosphere>
      <Temperature>14.5</Temperature>
      <Pressure>1009.6</Pressure>
    </Atmosphere>
    <Notes>{notes}</Notes>
  </JobProperties>
  <Instruments>
    <Instrument id="TS1">
      <Type>TotalStation</Type>
      <Model>Corvane T7 1"</Model>
      <SerialNumber>T7-204518</SerialNumber>
      <AngleStdDev>0.0003</AngleStdDev>
      <DistanceStdDev>0.001</DistanceStdDev>
      <DistancePPM>1.5</DistancePPM>
      <PrismConstant>0.0</PrismConstant>
    </Instrument>
    <Instrument id="GR1">
      <Type>GNSSReceiver</Type>
      <Model>Corvane R4</Model>
      <SerialNumber>R4-88213</SerialNumber>
    </Instrument>
  </Instruments>
""".format(name=esc(args.name), reference=esc(args.reference), operator=esc(args.operator),
           notes=esc(args.notes)))


def write_point(out, p):
    desc = "      <Description>%s</Description>\n" % esc(p.desc) if p.desc else ""
    out.write("    <Point>\n"
              "      <Name>%s</Name>\n"
              "      <Code>%s</Code>\n"
              "      <Grid>\n"
              "        <North>%.3f</North>\n"
              "        <East>%.3f</East>\n"
              "        <Elevation>%.3f</Elevation>\n"
              "      </Grid>\n"
              "%s"
              "    </Point>\n" % (p.name, p.code, p.n, p.e, p.z, desc))


def write_setup(out, s):
    out.write("    <Station id=\"ST%d\">\n"
              "      <StationPoint>%s</StationPoint>\n"
              "      <InstrumentRef>TS1</InstrumentRef>\n"
              "      <InstrumentHeight>%.3f</InstrumentHeight>\n"
              "      <SetupTime>%s</SetupTime>\n"
              "      <Backsight>\n"
              "        <PointName>%s</PointName>\n"
              "        <Azimuth>%.5f</Azimuth>\n"
              "      </Backsight>\n"
              "      <Observations>\n"
              % (s.number, s.station.name, s.instrument_height, s.time.isoformat(), s.backsight.name,
                 s.backsight_azimuth))
    for target, ha, zenith, sd, th, is_backsight in s.observations:
        out.write("        <Observation%s>\n"
                  "          <Target>%s</Target>\n"
                  "          <HorizontalAngle>%.5f</HorizontalAngle>\n"
                  "          <VerticalAngle>%.5f</VerticalAngle>\n"
                  "          <SlopeDistance>%.3f</SlopeDistance>\n"
                  "          <TargetHeight>%.3f</TargetHeight>\n"
                  "        </Observation>\n"
                  % (' role="backsight"' if is_backsight else "", target, ha, zenith, sd, th))
    out.write("      </Observations>\n"
              "    </Station>\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("output", help="file to write ('-' for standard output)")
    parser.add_argument("--points", type=int, default=300, help="number of points (default 300)")
    parser.add_argument("--seed", type=int, default=1, help="random seed (default 1)")
    parser.add_argument("--name", default="Millbrook Road Extension", help="job name")
    parser.add_argument("--reference", default="MRE-2024-017", help="job reference")
    parser.add_argument("--operator", default="Hanna Petrović", help="operator's name")
    parser.add_argument("--notes", default="Topographic survey for the road extension design. "
                        "Detail by GNSS rover; total station under tree cover and near buildings.",
                        help="job notes")
    args = parser.parse_args()
    if args.points < 1:
        parser.error("--points must be at least 1")

    out = sys.stdout if args.output == "-" else open(args.output, "w", encoding="utf-8", newline="\n",
                                                     buffering=1 << 20)
    try:
        write_header(out, args)
        # Points come before the setups in the file, but both are drawn from one random
        # stream; walking the site twice with the same seed avoids holding it all in memory.
        out.write("  <Points>\n")
        for pts, _ in Site(args.points, args.seed).areas():
            for p in pts:
                write_point(out, p)
        out.write("  </Points>\n"
                  "  <StationSetups>\n")
        for _, setup in Site(args.points, args.seed).areas():
            if setup is not None:
                write_setup(out, setup)
        out.write("  </StationSetups>\n"
                  "</SurmexJob>\n")
    finally:
        if out is not sys.stdout:
            out.close()


if __name__ == "__main__":
    main()

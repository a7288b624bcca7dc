"""Checks that zentrel's GeoJSON outlines overlay the image the way GDAL
places it: polygonizes the mask with gdal_polygonize.py and requires each
outline's extent to lie inside an ink polygon's extent, within one pixel of
each side (outlines run through the centres of the region's border pixels).
Usage: overlay_check.py MASK.bmp OUTLINES.geojson WORKDIR; exit status 0 when
every outline fits, 1 otherwise (with the reason)."""
import subprocess
import sys

from osgeo import ogr

mask, outlines, work = sys.argv[1:4]
polygons = work + "/polygonized.geojson"
subprocess.run(["/usr/bin/python3", "/usr/bin/gdal_polygonize.py", "-q", mask, "-b", "1",
                "-f", "GeoJSON", polygons], check=True)


def extents(path, keep=lambda feature: True):
    source = ogr.Open(path)
    layer = source.GetLayer(0)
    return [f.GetGeometryRef().GetEnvelope() for f in layer if keep(f)]


# Ink is dark: the red band of the mask is below 128 there.
ink = extents(polygons, lambda f: f.GetField("DN") < 128)
ours = extents(outlines)
if not ours or len(ours) != len(ink):
    sys.exit(f"{len(ours)} outlines for {len(ink)} ink regions")
for (x0, x1, y0, y1) in ours:
    if not any(0 <= x0 - a0 <= 1 and 0 <= a1 - x1 <= 1 and 0 <= y0 - b0 <= 1 and 0 <= b1 - y1 <= 1
               for (a0, a1, b0, b1) in ink):
        sys.exit(f"outline {(x0, x1, y0, y1)} overlays no ink region of {ink}")
print(f"{len(ours)} outlines overlay the ink")

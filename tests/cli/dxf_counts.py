"""Prints what a DXF file holds as JSON, read with ezdxf: closed and open
polylines per layer, CIRCLE entities, the layer table and audit errors."""
import collections
import json
import sys

import ezdxf

doc = ezdxf.readfile(sys.argv[1])
counts = collections.Counter()
for entity in doc.modelspace():
    kind = entity.dxftype()
    if kind == "LWPOLYLINE":
        kind += "-closed" if entity.closed else "-open"
    counts[kind + ":" + entity.dxf.layer] += 1
audit = doc.audit()
print(json.dumps({"entities": counts, "layers": sorted(l.dxf.name for l in doc.layers),
                  "errors": len(audit.errors)}))

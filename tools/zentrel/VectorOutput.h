// Vector outputs of the vectorising pipeline written through GDAL's vector
// drivers: GeoJSON, DXF, GeoPackage and Shapefile.
#ifndef ZENTREL_TOOLS_VECTOR_OUTPUT_H
#define ZENTREL_TOOLS_VECTOR_OUTPUT_H

#include <string>

#include "Georeference.h"
#include "Vectorizer.h"

namespace cli {

/// The vector formats; the driver follows the file's extension when it is
/// .gpkg, .shp, .dxf, .geojson or .json, otherwise the format asked for.
enum class VectorFormat { GeoJson, Dxf, GeoPackage, Shapefile };

/// The format for a path: its extension decides, else 'fallback'.
VectorFormat VectorFormatFor(const std::string& path, VectorFormat fallback);

/// Writes one feature per closed outline: a polygon through its kept points
/// (the traced points when fewer than three were kept), in map coordinates
/// through 'geo', with the attributes shape (rectangle, circle, other), size
/// (map units), centre, region, points. DXF puts the outlines on layers
/// RECTANGLE, CIRCLE and OTHER as closed polylines and adds a CIRCLE entity
/// per circle. Replaces an existing file. Throws Failure with GDAL's reason,
/// or saying the output is unavailable when built without GDAL.
void WriteVector(const std::string& path, VectorFormat format, const VectorizeResult& result,
                 const Georeference& geo);

}  // namespace cli

#endif  // ZENTREL_TOOLS_VECTOR_OUTPUT_H

// The style options of the bevelforge tool: each names one field of the style
// in words a person uses, takes a value in the units the dialog shows
// (pixels, percent, colours as RRGGBB) and overrides that field of the preset
// (or of the default style). Kept as one table, so an option is one row.
#pragma once
#include <string>
#include <utility>
#include <vector>

struct StyleRecord;

// Whether `name` (with its leading dashes) is a style option, and whether it takes a value.
bool IsStyleOption(const std::string& name, bool* takesValue);
// Applies one option to *style. Returns false with a message naming the
// option and its range when the value is not acceptable.
bool ApplyStyleOption(const std::string& name, const std::string& value, StyleRecord* style, std::string* error);
// Applies options in order and settles the material links: an element given
// a material value owns its material unless its link is given too, and every
// linked element's own copy is made the material it resolves to.
bool ApplyStyleOptions(const std::vector<std::pair<std::string, std::string>>& options, StyleRecord* style,
                       std::string* error);
// The help text lines of the style options.
std::string StyleOptionsHelp();
// A style as readable text, one setting a line, in the options' terms.
std::string DescribeStyle(const StyleRecord& style);
// Frees the style's map layers (the images belong to the caller's cache).
void ReleaseStyleLayers(StyleRecord* style);

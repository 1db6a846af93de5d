#pragma once

#include <string>

#include "tools/mdhost/description.h"

// The description as aligned tables for reading.
std::string DescriptionAsText(const PluginDescription& plugin);

// The description as one JSON object; sections the plug-in did not answer
// are null.
std::string DescriptionAsJson(const PluginDescription& plugin);

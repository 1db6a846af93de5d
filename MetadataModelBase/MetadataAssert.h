#pragma once

// Internal checks that fail report one line on standard error and let
// execution go on; each caller decides what its operation then returns.

// Prints "## ASSERT fail: file=<sFile> line=<iLine> <build date> <build time>".
void ReportAssertFailure(const char* sFile, int iLine);

#define METADATA_ASSERT_FAIL(sFile) ReportAssertFailure((sFile), __LINE__)

// Source paths named in the assertion lines.
#define METADATA_SRC_PLUGIN_MODEL_BASE "MetadataModelBase/PluginModelBase"
#define METADATA_SRC_METADATA_CHANNEL "MetadataModelBase/MetadataChannel"
#define METADATA_SRC_MESSAGE_QUEUE "MetadataModelBase/MetadataMessageQueue"

#include "MetadataModelBase/MetadataAssert.h"

#include <cstdio>

void ReportAssertFailure(const char* sFile, int iLine) {
  fprintf(stderr, "## ASSERT fail: file=%s line=%d %s %s\n", sFile, iLine, __DATE__, __TIME__);
}

// A shared object that is not a plug-in: it exports a function, but neither
// CreatePluginModel nor ReleasePluginModel.

extern "C" __attribute__((visibility("default"))) int NotAPluginEntryPoint() { return 42; }

#pragma once

#include <string>
#include <vector>

#include "tools/mdhost/description.h"

// The server as the source configuration names it: its pairs joined, e.g.
// "ModelVantixIP=10.0.0.5, ModelVantixServerPort=7000".
std::string ServerText(const std::vector<ConfigValue>& sourceConfig);

// What the plug-in's last error text says about a server it never reached,
// in a few words for the one line that reports it: the text itself and, when
// it carries the runtime's status ("error code: N"), what the runtime says
// that status means (a refused connection, an unresolvable name, a time-out).
std::string ExplainConnectError(const std::string& errorText);

#pragma once

#include "qt/http/httpserver.h"

#include <vector>

// The fleet's page at / and the files it loads, from the program's own resources: served with a policy
// that lets the page load and connect only to the console itself.
std::vector<HttpRoute> pageRoutes();

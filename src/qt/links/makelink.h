#pragma once

#include "link/bytelink.h"
#include "link/endpoint.h"

#include <memory>

// The link an endpoint names, closed. Auto must have been chosen into a device first.
std::unique_ptr<ByteLink> makeLink(const Endpoint &endpoint);

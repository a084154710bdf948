// The CLAP plug-in object a host holds: its calls and extensions, each leading to one
// ClapFilter.
#pragma once

#include "clap_api.h"

namespace qr47 {

// A new instance, or null when it cannot be made. Calls nothing of the host.
const clap::Plugin* createClapPlugin(const clap::PluginDescriptor* descriptor,
                                     const clap::Host* host);

}  // namespace qr47

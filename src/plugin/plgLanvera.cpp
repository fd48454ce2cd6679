#include "PlugIn.h"

// The entry point of the library: the one object that the host's loader creates.
class plgLanvera : public PlugIn
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CLINORA_PLUGIN_IID)
    Q_INTERFACES(clinora::PlugIn)

public:
    using PlugIn::PlugIn;
};

#include "plgLanvera.moc"

// A plug-in built against another version of the contract: the host must refuse it by name.
#include <QObject>
#include <QtPlugin>

class PlugInVecchio
{
public:
    virtual ~PlugInVecchio() = default;
};
Q_DECLARE_INTERFACE(PlugInVecchio, "it.dorvane.Clinora.PlugIn/0.9")

class plgAltraVersione : public QObject, public PlugInVecchio
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "it.dorvane.Clinora.PlugIn/0.9")
    Q_INTERFACES(PlugInVecchio)
};

#include "plgAltraVersione.moc"

// Automation objects: an object of a component, created by the component's
// id and driven by calling its methods by name.
//
// Components are shared libraries listed in the per-user component registry
// $XDG_DATA_HOME/vantel/components.ini (XDG_DATA_HOME defaults to
// ~/.local/share), one "id=absolute library path" line each; a component adds
// its own line when it is registered. Every component library offers the
// entries ComCreateObject, ComInvoke and ComReleaseObject (see
// xzip_component.h).
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

namespace rt {

class OLEObject {
public:
    OLEObject() = default;
    ~OLEObject(); // releases the object and its library
    OLEObject(const OLEObject &) = delete;
    OLEObject &operator=(const OLEObject &) = delete;

    // Connects to a new object of the component registered under `progid`
    // (matched without regard to case), releasing any object held before.
    // 0: connected; -2: the id is not in the registry; -3: the library did
    // not load, is not a component or did not create the object; -9: the
    // registry could not be read.
    int ConnectToNewObject(const QString &progid);

    // Calls `method` by name with `args` (integers, booleans, doubles and
    // strings) and answers its result: an int (or qlonglong when it does not
    // fit), a double, a QString, or an invalid QVariant for no result or a
    // failed call. `*rc`: 0 done; -1 the object has no such method; -2 wrong
    // arguments (also an argument of a type that cannot be passed); -9 not
    // connected.
    QVariant invoke(const QString &method, const QVariantList &args, int *rc = nullptr);

    // Releases the object; 0 (also when nothing was connected).
    int DisconnectObject();

    bool isConnected() const { return object_ != nullptr; }

    // The registry file, and the library registered for `progid` (empty when
    // there is none).
    static QString registryFile();
    static QString registeredLibrary(const QString &progid);

private:
    void *library_ = nullptr;
    void *object_ = nullptr;
    void *invoke_ = nullptr;  // ComInvoke
    void *release_ = nullptr; // ComReleaseObject
};

} // namespace rt

// Automation objects: an object of a component, created by the component's
// id and driven by calling its methods by name.
//
// Components are shared libraries listed in the per-user component registry
// $XDG_DATA_HOME/vantel/components.ini (XDG_DATA_HOME defaults to
// ~/.local/share), one "id=absolute library path" line each; a component adds
// its own line when it is registered. Every component library offers the
// entries ComCreateObject, ComInvoke and ComReleaseObject, and may offer
// ComSetProgress (see xzip_component.h).
#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>

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

    // Follows the calls made after this: `watcher` is told how much of a
    // call is done (0 to 1), on the thread that makes the call, and answers
    // false to stop the call (the method then ends with its own "cancelled"
    // result). An empty function removes it. 0: set; -1: the component
    // cannot be followed (it has no ComSetProgress); -9: not connected.
    int SetProgressWatcher(std::function<bool(double done)> watcher);

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
    void *setProgress_ = nullptr; // ComSetProgress, when the component has it
    std::function<bool(double)> watcher_;
};

} // namespace rt

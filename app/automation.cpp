#include "automation.h"

#include "xzip_component.h"

#include <QDir>
#include <QFile>

#include <dlfcn.h>

#include <limits>
#include <list>
#include <vector>

namespace rt {

namespace {

using CreateFn = void *(*)(const char *);
using InvokeFn = int32_t (*)(void *, const char *, int32_t, const ComValue *, ComValue *);
using ReleaseFn = void (*)(void *);
using SetProgressFn = int32_t (*)(void *, ComProgressFn, void *);

// The component's progress function: asks the object's watcher.
int32_t askWatcher(void *watcher, double done)
{
    return (*static_cast<std::function<bool(double)> *>(watcher))(done) ? 0 : 1;
}

enum class Lookup { Found, NotFound, Unreadable };

Lookup findEntry(const QString &progid, QByteArray &library)
{
    QFile file(OLEObject::registryFile());
    if (!file.exists())
        return Lookup::NotFound;
    if (!file.open(QIODevice::ReadOnly))
        return Lookup::Unreadable;
    const QByteArray wanted = progid.trimmed().toUtf8().toLower();
    if (wanted.isEmpty())
        return Lookup::NotFound;
    for (QByteArray line : file.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || line.left(eq).trimmed().toLower() != wanted)
            continue;
        library = line.mid(eq + 1); // the first entry of an id counts
        return Lookup::Found;
    }
    return Lookup::NotFound;
}

} // namespace

OLEObject::~OLEObject()
{
    DisconnectObject();
}

QString OLEObject::registryFile()
{
    QString base = QString::fromLocal8Bit(qgetenv("XDG_DATA_HOME"));
    if (!base.startsWith(QLatin1Char('/')))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/vantel/components.ini");
}

QString OLEObject::registeredLibrary(const QString &progid)
{
    QByteArray library;
    return findEntry(progid, library) == Lookup::Found ? QFile::decodeName(library) : QString();
}

int OLEObject::ConnectToNewObject(const QString &progid)
{
    DisconnectObject();

    QByteArray path;
    switch (findEntry(progid, path)) {
    case Lookup::NotFound:
        return -2;
    case Lookup::Unreadable:
        return -9;
    case Lookup::Found:
        break;
    }
    // Only absolute paths: a bare name would be looked up along the search
    // path and could load some other library.
    if (!path.startsWith('/'))
        return -3;

    void *lib = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!lib)
        return -3;
    auto create = reinterpret_cast<CreateFn>(dlsym(lib, "ComCreateObject"));
    void *invoke = dlsym(lib, "ComInvoke");
    void *release = dlsym(lib, "ComReleaseObject");
    void *object = create && invoke && release ? create(progid.trimmed().toUtf8().constData()) : nullptr;
    if (!object) {
        dlclose(lib);
        return -3;
    }
    library_ = lib;
    object_ = object;
    invoke_ = invoke;
    release_ = release;
    setProgress_ = dlsym(lib, "ComSetProgress"); // optional
    return 0;
}

int OLEObject::SetProgressWatcher(std::function<bool(double)> watcher)
{
    if (!object_)
        return -9;
    if (!setProgress_)
        return -1;
    watcher_ = std::move(watcher);
    const auto set = reinterpret_cast<SetProgressFn>(setProgress_);
    if (watcher_)
        return set(object_, &askWatcher, &watcher_) == COM_OK ? 0 : -1;
    set(object_, nullptr, nullptr);
    return 0;
}

QVariant OLEObject::invoke(const QString &method, const QVariantList &args, int *rc)
{
    int dummy = 0;
    int &code = rc ? *rc : dummy;
    if (!object_) {
        code = -9;
        return {};
    }

    std::list<QByteArray> strings; // keep the UTF-8 text alive for the call
    std::vector<ComValue> argv(static_cast<size_t>(args.size()));
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QVariant &a = args[i];
        ComValue &v = argv[static_cast<size_t>(i)];
        switch (a.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::LongLong:
            v.type = COM_INTEGER;
            v.v.integer = a.toLongLong();
            break;
        case QMetaType::ULong:
        case QMetaType::ULongLong:
            if (a.toULongLong() > static_cast<qulonglong>(std::numeric_limits<qint64>::max())) {
                code = -2;
                return {};
            }
            v.type = COM_INTEGER;
            v.v.integer = a.toLongLong();
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            v.type = COM_DOUBLE;
            v.v.real = a.toDouble();
            break;
        case QMetaType::QString:
        case QMetaType::QByteArray:
            strings.push_back(a.typeId() == QMetaType::QString ? a.toString().toUtf8() : a.toByteArray());
            v.type = COM_STRING;
            v.v.string = strings.back().constData();
            break;
        default:
            code = -2;
            return {};
        }
    }

    ComValue result{};
    code = reinterpret_cast<InvokeFn>(invoke_)(object_, method.toUtf8().constData(),
                                               static_cast<int32_t>(argv.size()), argv.data(), &result);
    if (code != 0)
        return {};
    switch (result.type) {
    case COM_INTEGER:
        if (result.v.integer >= std::numeric_limits<int>::min() && result.v.integer <= std::numeric_limits<int>::max())
            return QVariant(static_cast<int>(result.v.integer));
        return QVariant(static_cast<qlonglong>(result.v.integer));
    case COM_DOUBLE:
        return QVariant(result.v.real);
    case COM_STRING:
        return result.v.string ? QVariant(QString::fromUtf8(result.v.string)) : QVariant();
    default:
        return {};
    }
}

int OLEObject::DisconnectObject()
{
    if (object_)
        reinterpret_cast<ReleaseFn>(release_)(object_);
    if (library_)
        dlclose(library_);
    library_ = object_ = invoke_ = release_ = setProgress_ = nullptr;
    watcher_ = nullptr;
    return 0;
}

} // namespace rt

// GetPrinters, GetMyDefaultPrinter, SetMyDefaultPrinter: print queues and
// the default printer, through CUPS.
#include "printpart.h"

#include <cups/cups.h>

#include <cstring>
#include <string>

namespace {

// The destinations of the print service (queues and the user's instances
// of them, with the user's default marked), freed on leaving the scope.
class Destinations {
public:
    Destinations() : count_(cupsGetDests2(CUPS_HTTP_DEFAULT, &dests_))
    {
        const ipp_status_t status = cupsLastError();
        failed_ = count_ == 0 && status > IPP_STATUS_OK_EVENTS_COMPLETE &&
                  status != IPP_STATUS_ERROR_NOT_FOUND;
    }
    ~Destinations() { cupsFreeDests(count_, dests_); }
    Destinations(const Destinations &) = delete;
    Destinations &operator=(const Destinations &) = delete;

    bool failed() const { return failed_; }
    int count() const { return count_; }
    cups_dest_t *begin() const { return dests_; }
    cups_dest_t *end() const { return dests_ + count_; }
    cups_dest_t *find(const char *name) const { return cupsGetDest(name, nullptr, count_, dests_); }
    cups_dest_t *defaultDest() const { return cupsGetDest(nullptr, nullptr, count_, dests_); }
    int save() const { return cupsSetDests2(CUPS_HTTP_DEFAULT, count_, dests_); }

private:
    cups_dest_t *dests_ = nullptr;
    int count_ = 0;
    bool failed_ = false;
};

std::string option(const cups_dest_t &d, const char *name)
{
    const char *v = cupsGetOption(name, d.num_options, d.options);
    return v ? v : "";
}

void copyText(char *buffer, const std::string &text)
{
    std::memcpy(buffer, text.c_str(), text.size() + 1);
}

} // namespace

extern "C" HELVEX1_API int32_t HX_PRINT_NAME(GetPrinters)(int32_t /*unused1*/, char *buffer, int32_t /*unused2*/)
{
    if (!buffer)
        return HX_FAILURE;
    Destinations dests;
    if (dests.failed())
        return HX_FAILURE;
    std::string text;
    for (const cups_dest_t &d : dests) {
        if (d.instance)
            continue; // the user's saved option sets, not printers of their own
        text += d.name;
        text += '|';
        text += option(d, "device-uri");
        text += '|';
        const std::string type = option(d, "printer-type");
        text += type.empty() ? "0" : type;
        text += '|';
    }
    if (text.empty())
        return HX_SUCCESS; // no printers: the buffer stays as it is
    text += '|';
    copyText(buffer, text);
    return HX_SUCCESS;
}

extern "C" HELVEX1_API int32_t HX_PRINT_NAME(GetMyDefaultPrinter)(char *buffer, int32_t /*unused*/)
{
    if (!buffer)
        return HX_FAILURE;
    Destinations dests;
    const cups_dest_t *d = dests.failed() ? nullptr : dests.defaultDest();
    constexpr size_t kRoom = 511; // the caller's buffer holds 512 bytes
    if (!d || !d->name || !*d->name || std::strlen(d->name) > kRoom) {
        buffer[0] = '\0';
        return HX_FAILURE;
    }
    copyText(buffer, d->name);
    return HX_SUCCESS;
}

extern "C" HELVEX1_API int32_t HX_PRINT_NAME(SetMyDefaultPrinter)(const char *name)
{
    if (!name || !*name)
        return -1;
    Destinations dests;
    if (dests.failed())
        return -1;
    cups_dest_t *chosen = dests.find(name);
    if (!chosen || chosen->instance)
        return -1;
    for (cups_dest_t &d : dests)
        d.is_default = &d == chosen;
    return dests.save() == 0 ? 0 : -1;
}

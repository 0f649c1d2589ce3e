// The loaded-library transport layer: a shared object with the two ASPI entry points,
// found under its Linux names. A library that lacks one of them is refused with a message.

#include "burn/transport/scsi_transport.h"
#include "core/base/posix_io.h"

namespace {

class LibraryLayer : public IScsiLayer {
public:
    LibraryLayer(posix::UniqueLibrary handle, std::string name, aspi::GetSupportInfoFn info,
                 aspi::SendCommandFn send)
        : handle_(std::move(handle)), name_(std::move(name)), info_(info), send_(send)
    {
    }
    std::string Name() const override { return name_; }
    uint32_t GetSupportInfo() override { return info_(); }
    uint32_t SendCommand(void* srb) override { return send_(srb); }

private:
    posix::UniqueLibrary handle_;
    std::string name_;
    aspi::GetSupportInfoFn info_;
    aspi::SendCommandFn send_;
};

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::unique_ptr<IScsiLayer> MakeLibraryLayer(const std::vector<std::string>& names, std::string* problem)
{
    for (const std::string& name : names) {
        posix::UniqueLibrary handle(::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL));
        if (!handle)
            continue;
        // The second kind of library names its entry points differently.
        const bool asapi = baseName(name).find("asapi") != std::string::npos;
        const char* infoName = asapi ? "GetASAPI32SupportInfo" : "GetASPI32SupportInfo";
        const char* sendName = asapi ? "SendASAPI32Command" : "SendASPI32Command";
        auto info = reinterpret_cast<aspi::GetSupportInfoFn>(::dlsym(handle.get(), infoName));
        auto send = reinterpret_cast<aspi::SendCommandFn>(::dlsym(handle.get(), sendName));
        if (!info || !send) {
            if (problem)
                *problem = "TRANSPORT LIBRARY " + name + " LACKS THE ENTRY POINT " + (info ? sendName : infoName) +
                           " - NOT USED";
            continue;
        }
        return std::make_unique<LibraryLayer>(std::move(handle), baseName(name), info, send);
    }
    return nullptr;
}

// SCPI over GPIB through linux-gpib's user library, loaded at run time.
#include <dlfcn.h>

#include <algorithm>
#include <array>

#include "hwio/transport.h"

namespace hwio {

namespace {

constexpr int kErr = 0x8000;  // ibsta bits
constexpr int kTimo = 0x4000;

// iberr values.
constexpr int kEdvr = 0, kEcic = 1, kEnol = 2, kEarg = 4, kEabo = 6, kEneb = 7;

struct GpibLibrary {
    void* handle = nullptr;
    int (*ibdev)(int, int, int, int, int, int) = nullptr;
    int (*ibwrt)(int, const void*, long) = nullptr;
    int (*ibrd)(int, void*, long) = nullptr;
    int (*ibloc)(int) = nullptr;
    int (*ibonl)(int, int) = nullptr;
    int (*ibclr)(int) = nullptr;
    int (*ibeot)(int, int) = nullptr;
    int (*ibtmo)(int, int) = nullptr;
    int (*ThreadIbsta)() = nullptr;
    int (*ThreadIberr)() = nullptr;
    long (*ThreadIbcntl)() = nullptr;

    explicit GpibLibrary(const std::string& name) {
        handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            throw LinkError(kNoDriver, "GPIB needs the linux-gpib library " + name +
                                           ", which is not installed. Install linux-gpib with the driver for your "
                                           "GPIB board, or connect the instrument over TCP/IP.");
        bind(ibdev, "ibdev");
        bind(ibwrt, "ibwrt");
        bind(ibrd, "ibrd");
        bind(ibloc, "ibloc");
        bind(ibonl, "ibonl");
        bind(ibclr, "ibclr");
        bind(ibeot, "ibeot");
        bind(ibtmo, "ibtmo");
        bind(ThreadIbsta, "ThreadIbsta");
        bind(ThreadIberr, "ThreadIberr");
        bind(ThreadIbcntl, "ThreadIbcntl");
    }
    ~GpibLibrary() {
        if (handle) ::dlclose(handle);
    }
    GpibLibrary(const GpibLibrary&) = delete;
    GpibLibrary& operator=(const GpibLibrary&) = delete;

    template <class F>
    void bind(F& f, const char* symbol) {
        f = reinterpret_cast<F>(::dlsym(handle, symbol));
        if (!f) {
            ::dlclose(handle);
            handle = nullptr;
            throw LinkError(kNoDriver, std::string("The GPIB library has no function ") + symbol +
                                           "; install a current linux-gpib.");
        }
    }
};

// linux-gpib's time-out codes: the smallest that is at least `seconds`.
int timeoutCode(double seconds) {
    static const std::array<double, 17> limits = {10e-6, 30e-6, 100e-6, 300e-6, 1e-3, 3e-3, 10e-3, 30e-3, 100e-3,
                                                  300e-3, 1,    3,      10,     30,     100,  300,  1000};
    for (std::size_t i = 0; i < limits.size(); ++i)
        if (seconds <= limits[i]) return static_cast<int>(i) + 1;
    return static_cast<int>(limits.size());
}

class GpibTransport : public Transport {
public:
    GpibTransport(std::unique_ptr<GpibLibrary> lib, int board, int primary, int secondary, double timeout)
        : lib_(std::move(lib)),
          where_("the instrument at GPIB" + std::to_string(board) + " primary address " + std::to_string(primary) +
                 (secondary >= 0 ? " secondary address " + std::to_string(secondary) : "")) {
        const int sad = secondary >= 0 ? 0x60 + secondary : 0;
        ud_ = lib_->ibdev(board, primary, sad, timeoutCode(timeout), 1, 0);
        if (ud_ < 0) fail("Opening");
        timeout_ = timeout;
    }
    ~GpibTransport() override { lib_->ibonl(ud_, 0); }

    // The library's calls wait in slices, so that a cancel is seen between them; a slice that
    // moved bytes starts the time-out again.
    void write(std::string_view bytes, bool last, const Wait& wait) override {
        auto deadline = after(wait.timeout);
        while (!bytes.empty()) {
            checkCancel(wait.stop);
            setTimeout(slice(deadline));
            lib_->ibeot(ud_, last ? 1 : 0);
            const int sta = lib_->ibwrt(ud_, bytes.data(), static_cast<long>(bytes.size()));
            const long n = lib_->ThreadIbcntl();
            if (n > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(std::min<long>(n, static_cast<long>(bytes.size()))));
                deadline = after(wait.timeout);
            }
            if (!(sta & kErr)) continue;
            if (!timedOut() || Clock::now() >= deadline) fail("Sending to");
        }
    }

    std::size_t read(char* buffer, std::size_t n, const Wait& wait) override {
        const auto deadline = after(wait.timeout);
        while (true) {
            checkCancel(wait.stop);
            setTimeout(slice(deadline));
            const int sta = lib_->ibrd(ud_, buffer, static_cast<long>(n));
            const long got = lib_->ThreadIbcntl();
            if (got > 0) return static_cast<std::size_t>(got);
            if (!(sta & kErr)) throw LinkError(kBadReply, where_ + " ended its answer without sending anything");
            if (!timedOut() || Clock::now() >= deadline) fail("Reading from");
        }
    }

    void goToLocal(const Wait& wait) override {
        checkCancel(wait.stop);
        setTimeout(std::min(wait.timeout, kSliceSeconds));
        if (lib_->ibloc(ud_) & kErr) fail("Returning to local");
    }

    void abandon() override { lib_->ibclr(ud_); }  // device clear empties the instrument's input

    std::string where() const override { return where_; }

private:
    static constexpr double kSliceSeconds = 0.1;

    static double slice(Clock::time_point deadline) {
        const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
        return std::clamp(left, 0.001, kSliceSeconds);
    }

    bool timedOut() const { return (lib_->ThreadIbsta() & kTimo) || lib_->ThreadIberr() == kEabo; }

    void setTimeout(double seconds) {
        if (seconds == timeout_) return;
        lib_->ibtmo(ud_, timeoutCode(seconds));
        timeout_ = seconds;
    }

    [[noreturn]] void fail(const std::string& doing) {
        const int sta = lib_->ThreadIbsta();
        const int err = lib_->ThreadIberr();
        if ((sta & kTimo) || err == kEabo) throw LinkError(kTimeout, where_ + " did not respond in time");
        std::string why;
        std::int32_t status = kConnectFailed;
        switch (err) {
            case kEnol: why = "no device listens at that address; check that the instrument is on and set to it"; break;
            case kEdvr: why = "the GPIB driver reported a system error; check that the board is configured (gpib_config)"; break;
            case kEcic: why = "the GPIB board is not the controller in charge"; break;
            case kEarg: why = "the board, primary or secondary address is not valid"; status = kBadArgument; break;
            case kEneb: why = "there is no GPIB board with that number"; break;
            default: why = "GPIB error " + std::to_string(err); status = kConnectionLost; break;
        }
        throw LinkError(status, doing + " " + where_ + " failed: " + why + ".");
    }

    std::unique_ptr<GpibLibrary> lib_;
    std::string where_;
    int ud_ = -1;
    double timeout_ = 0;
};

}  // namespace

std::unique_ptr<Transport> openGpib(const Config& config, const Options& options) {
    const Config::Gpib g = config.GPIB.value_or(Config::Gpib{});
    const int board = g.board.value_or(0), primary = g.primary.value_or(19), secondary = g.secondary.value_or(-1);
    if (board < 0 || board > 15)
        throw LinkError(kBadArgument, "GPIB.board " + std::to_string(board) + " is not a board number from 0 to 15.");
    if (primary < 0 || primary > 30)
        throw LinkError(kBadArgument,
                        "GPIB.primary " + std::to_string(primary) + " is not a primary address from 0 to 30.");
    if (secondary < -1 || secondary > 30)
        throw LinkError(kBadArgument, "GPIB.secondary " + std::to_string(secondary) +
                                          " is not a secondary address from 0 to 30 (-1 for none).");
    auto lib = std::make_unique<GpibLibrary>(options.gpibLibrary);
    return std::make_unique<GpibTransport>(std::move(lib), board, primary, secondary, options.timeout);
}

}  // namespace hwio

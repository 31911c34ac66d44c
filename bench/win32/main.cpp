// trelmo-bench.exe: the driver core against a minimal Win32 communications loop on the same
// COM port (a virtual board under Wine), the COM object's status calls, the time a silent
// board takes to become "no link", the heap of a driver object and of a COM object, and whole
// transfers against a board that keeps the line's pace (the wire limit).
//
//   trelmo-bench [--port N] [--silent-port M] [--quick] [--seconds S]
//                [--nolink-timeout MS] [--nolink-samples N]
//                [--wire PORT:BAUD]... [--process-us US]
//
// The board on COMN must restart at once (trelmo-board --restart-ms 0); the one on COMM
// must be silent (board control "fault noanswer always"). Each --wire port has a board with
// --line-timing --process-us US (default 2000) --restart-ms 0 --baud BAUD; without --port the
// program gives the wire figures alone. Figures only: the program fails when an exchange
// fails, never on a time.
#include "TrelmoLib_TLB.h"
#include "driver/core/untConst.h"
#include "untHeapCount.h"
#include "untHolders.h"
#include "untPaired.h"
#include "untReport.h"
#include "untWireLimit.h"
#include "untWorkloads.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace bench;

namespace {

struct TOptions {
    int Port = 0;
    int SilentPort = 0;
    bool Quick = false;
    double Seconds = 3;
    int NoLinkTimeoutMs = 200;
    int NoLinkSamples = 10;
    struct TWirePort {
        int Port, BaudRate;
    };
    std::vector<TWirePort> Wire;
    int ProcessUs = WireProcessUs;
};

// "7:115200"
bool ParseWirePort(const std::string& text, std::vector<TOptions::TWirePort>& ports) {
    const std::size_t colon = text.find(':');
    std::vector<int> rates;
    if (colon == std::string::npos || !ParseBaudRates(text.substr(colon + 1), rates) ||
        rates.size() != 1)
        return false;
    const int port = std::atoi(text.substr(0, colon).c_str());
    ports.push_back({port, rates[0]});
    return port > 0;
}

bool ParseOptions(int argc, char** argv, TOptions& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--quick") {
            options.Quick = true;
            continue;
        }
        if (i + 1 == argc)
            return false;
        const char* value = argv[++i];
        if (arg == "--port")
            options.Port = std::atoi(value);
        else if (arg == "--silent-port")
            options.SilentPort = std::atoi(value);
        else if (arg == "--seconds")
            options.Seconds = std::atof(value);
        else if (arg == "--nolink-timeout")
            options.NoLinkTimeoutMs = std::atoi(value);
        else if (arg == "--nolink-samples")
            options.NoLinkSamples = std::atoi(value);
        else if (arg == "--process-us")
            options.ProcessUs = std::atoi(value);
        else if (arg != "--wire" || !ParseWirePort(value, options.Wire))
            return false;
    }
    if (options.Quick) {
        options.Seconds = 0.2;
        options.NoLinkSamples = std::min(options.NoLinkSamples, 2);
    }
    return (options.Port > 0 || !options.Wire.empty()) && options.SilentPort >= 0 &&
           options.Seconds > 0 && options.NoLinkTimeoutMs > 0 && options.NoLinkSamples > 0 &&
           options.ProcessUs >= 0;
}

std::string PortName(int port) {
    return "\\\\.\\COM" + std::to_string(port);
}

std::unique_ptr<TDriver> MakeDriver(int port) {
    auto driver = std::make_unique<TDriver>();
    Prepare(*driver);
    driver->SetPortNumber(port);
    return driver;
}

std::unique_ptr<TDriver> OpenDriver(int port) {
    auto driver = MakeDriver(port);
    if (driver->OpenPort() != 0)
        throw std::runtime_error("the driver cannot open COM" + std::to_string(port) + ": result " +
                                 std::to_string(driver->GetResultCode()));
    return driver;
}

// Rounds of a paired benchmark for `seconds`, in whole slices.
void Measure(const std::string& work, double seconds, std::size_t roundsPerSlice,
             const std::function<void(TPairedMeter&)>& round, const char* measured = "driver") {
    TPairedMeter meter(roundsPerSlice);
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        for (std::size_t i = 0; i < roundsPerSlice; ++i)
            round(meter);
    } while (std::chrono::steady_clock::now() < end);
    PrintRatio(work, meter.RawRate(), meter.DriverRate(), meter.Ratio(), measured);
}

// ---------------------------------------------------------------- the COM object

typedef HRESULT(STDAPICALLTYPE* TGetClassObject)(REFCLSID, REFIID, void**);

// Trelmo.dll from this program's folder, without registration, as a 1C host loads it.
class TComLibrary {
public:
    TComLibrary() {
        wchar_t path[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring library(path, length);
        library = library.substr(0, library.find_last_of(L'\\') + 1) + L"Trelmo.dll";
        Module = LoadLibraryW(library.c_str());
        if (Module)
            GetClassObject = reinterpret_cast<TGetClassObject>(
                reinterpret_cast<void*>(GetProcAddress(Module, "DllGetClassObject")));
        if (!GetClassObject)
            throw std::runtime_error("cannot load Trelmo.dll next to the program");
    }
    TComLibrary(const TComLibrary&) = delete;
    TComLibrary& operator=(const TComLibrary&) = delete;

    // A new object on `port`, with the benchmarks' settings.
    TComPtr<ITrelmo> Create(int port) {
        TComPtr<IClassFactory> factory;
        TComPtr<ITrelmo> object;
        if (FAILED(GetClassObject(CLSID_Trelmo, IID_IClassFactory, factory.Put())))
            throw std::runtime_error("Trelmo.dll gives no class factory");
        if (FAILED(factory->CreateInstance(nullptr, IID_ITrelmo, object.Put())))
            throw std::runtime_error("the class factory made no object");
        object->put_LogOn(VARIANT_FALSE);
        object->put_Timeout(200);
        object->put_CommandTimeout(1000);
        object->put_BaudRate(2400);
        object->put_PortNumber(port);
        return object;
    }

private:
    HMODULE Module = nullptr;
    TGetClassObject GetClassObject = nullptr;
};

std::size_t StatusCom(ITrelmo* object) {
    LONG result = -1;
    if (FAILED(object->ReadStatus(&result)) || result != 0)
        throw std::runtime_error("COM ReadStatus: result " + std::to_string(result));
    return 1;
}

// Bytes in use in every heap of the process: what the COM object holds, wherever the
// library, the C runtime or OLE put it.
long long HeapBusyBytes() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    long long busy = 0;
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                busy += entry.cbData;
    }
    return busy;
}

void MeasureComHeap(TComLibrary& library, int port) {
    // The library's first objects pay for what lives as long as the process (type
    // information, static texts): that is not the object's.
    for (int i = 0; i < 2; ++i) {
        StatusCom(library.Create(port).Get());
    }
    const long long before = HeapBusyBytes();
    TComPtr<ITrelmo> object = library.Create(port);
    std::printf("%-44s %7lld bytes\n", "COM object, created:", HeapBusyBytes() - before);
    StatusCom(object.Get());
    std::printf("%-44s %7lld bytes\n", "after one ReadStatus:", HeapBusyBytes() - before);
    for (int i = 0; i < 1000; ++i)
        StatusCom(object.Get());
    std::printf("%-44s %7lld bytes\n", "after 1000 more ReadStatus:", HeapBusyBytes() - before);
    object.Reset();
    std::printf("%-44s %7lld bytes\n", "left after Release:", HeapBusyBytes() - before);
}

// The driver against the raw loop, the COM object, "no link" and the heap, on COM`Port`.
void MeasureDriver(const TOptions& options, const TBytes& image) {
    TComLibrary library;

    PrintHeading("throughput: driver against the raw loop, same board, same run");
    {
        // The raw port first, as natively; Wine shares a COM port anyway.
        TRawPort raw(PortName(options.Port));
        auto driver = OpenDriver(options.Port);
        const auto on = [&](const TPairedRound& round) {
            return [&, round](TPairedMeter& meter) { round(meter, raw, *driver); };
        };
        Measure("status", options.Seconds, 50, on(WholeRounds(StatusRaw, StatusDriver)));
        Measure("firmware", options.Seconds, 1, on(FirmwareRounds(image)));
        Measure("tables", options.Seconds, 4, on(WholeRounds(TablesRaw, TablesDriver)));
        driver.reset();
        // The COM object's own path on top of the driver: dispatch through its vtable.
        const TComPtr<ITrelmo> object = library.Create(options.Port);
        Measure(
            "com", options.Seconds, 50,
            [&](TPairedMeter& meter) {
                meter.Round([&] { return StatusRaw(raw); },
                            [&] { return StatusCom(object.Get()); });
            },
            "object");
    }

    PrintHeading("time to \"no link\" from a silent board");
    if (options.SilentPort > 0) {
        auto driver = OpenDriver(options.SilentPort);
        PrintNoLink(options.NoLinkTimeoutMs,
                    NoLinkSamples(*driver, options.NoLinkTimeoutMs, options.NoLinkSamples));
    } else {
        std::printf("no-link   not measured: no --silent-port\n");
    }

    PrintHeading("heap (C++ allocations, usable sizes)");
    {
        TRawPort raw(PortName(options.Port));
        MeasureDriverHeap([&] { return MakeDriver(options.Port); }, raw, image);
    }
    PrintHeading("heap of a COM object (busy bytes of all process heaps)");
    MeasureComHeap(library, options.Port);
}

// The wire figures, one board per speed.
void MeasureWire(const TOptions& options, const TBytes& image) {
    PrintHeading(WireHeading);
    TWireOptions wire;
    wire.Quick = options.Quick;
    wire.ProcessUs = options.ProcessUs;
    for (const TOptions::TWirePort& port : options.Wire) {
        auto driver = MakeDriver(port.Port);
        driver->SetBaudRate(port.BaudRate);
        if (driver->OpenPort() != 0)
            throw std::runtime_error("the driver cannot open COM" + std::to_string(port.Port));
        RunWire(*driver, PortName(port.Port), image, wire);
    }
}

} // namespace

int main(int argc, char** argv) {
    TOptions options;
    if (!ParseOptions(argc, argv, options)) {
        std::printf("usage: trelmo-bench [--port N] [--silent-port M] [--quick] [--seconds S] "
                    "[--nolink-timeout MS] [--nolink-samples N] [--wire PORT:BAUD]... "
                    "[--process-us US]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    try {
        std::printf("trelmo-bench: Windows (Win32 communications), %u-bit, COM%d\n",
                    static_cast<unsigned>(sizeof(void*) * 8), options.Port);
        const TBytes image = FirmwareImage();
        if (options.Port > 0)
            MeasureDriver(options, image);
        if (!options.Wire.empty())
            MeasureWire(options, image);
    } catch (const std::exception& e) {
        std::printf("trelmo-bench: %s\n", e.what());
        status = 1;
    }
    std::fflush(stdout);
    CoUninitialize();
    return status;
}

// Apply and read-back latency against the simulated adapter, with one short command (a mode
// select: scan, open, one report, close) as the baseline of the same run.
#include "device/AdapterSession.h"
#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "tests/support/SimController.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

using namespace velorin;
using namespace velorin::device;

namespace {

std::unique_ptr<hid::SimController> g_sim;
std::unique_ptr<AdapterSession> g_session;

// The sim logs every output report on its standard output; reading it now and then keeps the
// pipe from filling up and stalling the sim.
void drain(benchmark::State& state, int& count) {
    if (++count % 16 != 0)
        return;
    state.PauseTiming();
    g_sim->command(QStringLiteral("ping")); // waits for the answer, reading everything before it
    g_sim->clearOutputReports();
    state.ResumeTiming();
}

bool ensureSim() {
    if (g_sim)
        return true;
    g_sim = std::make_unique<hid::SimController>(QStringLiteral(VELORIN_SIM_PATH));
    if (!g_sim->start())
        return false;
    g_session = std::make_unique<AdapterSession>(g_sim->makePlatform());
    return true;
}

void BM_ShortCommandBaseline(benchmark::State& state) {
    if (!ensureSim()) {
        state.SkipWithError("velorin-sim did not start");
        return;
    }
    int n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(SendModeSelect(g_session->platform(), ConsoleId::PS3));
        drain(state, n);
    }
    g_sim->clearOutputReports();
}

void BM_Apply(benchmark::State& state) {
    if (!ensureSim()) {
        state.SkipWithError("velorin-sim did not start");
        return;
    }
    WorkModeBlock block;
    int n = 0;
    for (auto _ : state) {
        const ApplyResult r = ApplyToAdapter(*g_session, block, ConsoleId::PS3);
        if (r.status != ApplyStatus::Success)
            state.SkipWithError("apply failed");
        drain(state, n);
    }
    g_sim->clearOutputReports();
}

void BM_ReadBack(benchmark::State& state) {
    if (!ensureSim()) {
        state.SkipWithError("velorin-sim did not start");
        return;
    }
    WorkModeBlock block;
    int n = 0;
    for (auto _ : state) {
        if (ReadBackFromAdapter(*g_session, block).size() != 4)
            state.SkipWithError("read-back incomplete");
        drain(state, n);
    }
    g_sim->clearOutputReports();
}

// The adapter sends nothing: read-back gives up after one request and its 100 ms reply wait.
void BM_ReadBackNoReply(benchmark::State& state) {
    if (!ensureSim() || !g_sim->command(QStringLiteral("drop ps3 on"))) {
        state.SkipWithError("velorin-sim did not start");
        return;
    }
    WorkModeBlock block;
    for (auto _ : state)
        benchmark::DoNotOptimize(ReadBackFromAdapter(*g_session, block));
    g_sim->command(QStringLiteral("drop ps3 off"));
    g_sim->clearOutputReports();
}

BENCHMARK(BM_ShortCommandBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Apply)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBack)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReadBackNoReply)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_session.reset();
    g_sim.reset();
    return 0;
}

// Stand-ins that do nothing, so the service links before its keeper, hooks and metrics are in.
#include "untHooks.h"
#include "untKeeper.h"
#include "untMetrics.h"

TWatchdogKeeper::TWatchdogKeeper(bool, int) {}
void TWatchdogKeeper::Tick(TDaemonDriver&, TMillis) {}
TMillis TWatchdogKeeper::NextDue() const { return -1; }
int TWatchdogKeeper::Stop(TDaemonDriver&) { return 0; }
void TWatchdogKeeper::Configure(bool, int) {}

struct THooks::TImpl {};
THooks::THooks(const std::map<std::string, THookConfig>&) {}
void THooks::Configure(const std::map<std::string, THookConfig>&) {}
void THooks::OnEvents(const std::vector<TEvent>&, const TSnapshot&, TMillis) {}
void THooks::Tick(TMillis) {}
TMillis THooks::NextDue() const { return -1; }
void THooks::Finish(int) {}

std::string FormatMetrics(const TSnapshot&, const TDriverCounters&, const TKeeperState&,
                          const THookCounters&, const TServiceCounters&) {
    return std::string();
}

struct TMetricsPublisher::TImpl {};
TMetricsPublisher::TMetricsPublisher(const std::string&, int) {}
TMetricsPublisher::~TMetricsPublisher() = default;
bool TMetricsPublisher::Publish(const std::string&, std::string&) { return true; }

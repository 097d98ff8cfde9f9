// The worker thread: action order, progress notifications, the first error, termination.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Environment.h"
#include "setup/core/Errors.h"
#include "setup/core/SetupThread.h"
#include "TestUtil.h"
#include "tests/setup/SetupFixture.h"

using namespace Setup::Core;
using SetupTest::TSetupFixture;
using SetupTest::TTestProductInfo;

namespace {

std::vector<std::string> gRan;  // names of the actions that ran, in order

// An action that reports the progress steps it is given, or fails.
template <int Id>
class TStepAction : public TSetupAction {
public:
  static inline std::vector<int32_t> Steps;
  static inline bool Fail = false;
  void Execute() override {
    gRan.push_back(std::string("A").append(std::to_string(Id)));
    if (Fail) throw EInstallerInstallError(std::string("action ").append(std::to_string(Id)).append(" failed"));
    for (int32_t s : Steps) SetProgress(s);
  }
};

template <int Id>
const TSetupActionClass& Cls() {
  return ActionClassOf<TStepAction<Id>>("TStepAction");
}

template <int Id>
void ResetAction() {
  TStepAction<Id>::Steps.clear();
  TStepAction<Id>::Fail = false;
}

struct TRecorder : IInstallerNotify {
  std::vector<std::pair<int32_t, intptr_t>> Seen;
  void Notify(int32_t code, intptr_t param) override {
    if (code != snStatusText) Seen.emplace_back(code, param);
  }
  std::vector<intptr_t> Params(int32_t code) const {
    std::vector<intptr_t> out;
    for (const auto& [c, p] : Seen)
      if (c == code) out.push_back(p);
    return out;
  }
};

class SetupThreadTest : public ::testing::Test {
protected:
  void SetUp() override {
    TTestProductInfo::Reset();
    gRan.clear();
    ResetAction<1>();
    ResetAction<2>();
    ResetAction<3>();
    ResetAction<4>();
    ResetAction<5>();
  }

  // Runs the listed actions silently in a fresh setup object; returns what the listener heard.
  TRecorder RunActions(std::vector<const TSetupActionClass*> actions, std::vector<std::string>* errors = nullptr) {
    TTestProductInfo::Actions = std::move(actions);
    TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + root_.File("dest") + "\" /SILENT");
    TRecorder rec;
    f.Setup().AddListener(&rec);
    f.Setup().Run(true);
    EXPECT_EQ(f.Setup().State(), ssFinished);
    if (errors)
      for (int i = 0; i < f.Setup().Errors().Count(); ++i) errors->push_back(f.Setup().Errors().Strings(i));
    f.Setup().RemoveListener(&rec);
    return rec;
  }

  TestUtil::TTempDir root_;
  KVL::Platform::TEnvironmentOverride systemRoot_{"KVL_SYSTEM_ROOT", root_.Path()};
};

constexpr intptr_t P(int overall, int current) { return overall * 65536 + current; }

} // namespace

TEST_F(SetupThreadTest, EmptyListFinishesAtOnce) {
  TRecorder rec = RunActions({});
  ASSERT_EQ(rec.Seen.size(), 1u);
  EXPECT_EQ(rec.Seen[0], std::make_pair(int32_t(snFinished), intptr_t(0)));
}

TEST_F(SetupThreadTest, ProgressIsThePlainAverageAndEveryStepIsFollowedByARepaint) {
  TStepAction<2>::Steps = {50, 50};  // the second 50 changes nothing
  TRecorder rec = RunActions({&Cls<1>(), &Cls<2>(), &Cls<3>()});
  EXPECT_EQ(gRan, (std::vector<std::string>{"A1", "A2", "A3"}));
  // Switching actions reports the new action's own value at once.
  EXPECT_EQ(rec.Params(snProgress),
            (std::vector<intptr_t>{P(0, 0), P(33, 100), P(33, 0), P(50, 50), P(66, 100), P(66, 0), P(100, 100)}));
  for (size_t i = 0; i + 1 < rec.Seen.size(); ++i) {
    if (rec.Seen[i].first == snProgress) {
      EXPECT_EQ(rec.Seen[i + 1].first, snInvalidate);
    }
  }
  EXPECT_EQ(rec.Seen.back(), std::make_pair(int32_t(snFinished), intptr_t(0)));
}

TEST_F(SetupThreadTest, TheFirstErrorEndsTheRun) {
  TStepAction<2>::Fail = true;
  std::vector<std::string> errors;
  TRecorder rec = RunActions({&Cls<1>(), &Cls<2>(), &Cls<3>(), &Cls<4>(), &Cls<5>()}, &errors);
  EXPECT_EQ(gRan, (std::vector<std::string>{"A1", "A2"}));
  EXPECT_EQ(errors, (std::vector<std::string>{"action 2 failed"}));
  EXPECT_EQ(rec.Params(snFinished), (std::vector<intptr_t>{0}));
  EXPECT_LT(rec.Params(snProgress).back() >> 16, 100);
}

namespace {
class TFailingProduct : public TTestProductInfo {
public:
  void PopulateActions(const TSetupActionClassCallback&) override { throw EInstallerInstallError("no actions"); }
};
} // namespace

TEST_F(SetupThreadTest, APopulationErrorIsTheOnlyError) {
  TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + root_.File("dest") + "\" /SILENT",
                  [] { return std::make_unique<TFailingProduct>(); });
  f.Setup().Run(true);
  ASSERT_EQ(f.Setup().Errors().Count(), 1);
  EXPECT_EQ(f.Setup().Errors().Strings(0), "no actions");
}

TEST_F(SetupThreadTest, TerminationStopsBeforeTheNextActionAndAddsTheCancelText) {
  TTestProductInfo::Actions = {&Cls<1>(), &Cls<2>(), &Cls<3>()};
  TSetupFixture f(SetupTest::MinimalSetupFiles(), {}, "/AUTO=\"" + root_.File("dest") + "\" /SILENT");
  // The main thread asks the worker to stop while it serves the first progress report.
  struct TStopper : IInstallerNotify {
    TSetup* S;
    std::vector<intptr_t> Finished;
    void Notify(int32_t code, intptr_t param) override {
      if (code == snProgress && S->Thread() != nullptr) S->Thread()->Terminate();
      if (code == snFinished) Finished.push_back(param);
    }
  } stopper;
  stopper.S = &f.Setup();
  f.Setup().Resources().LoadLanguage("English.lng");
  f.Setup().AddListener(&stopper);
  f.Setup().Run(true);
  f.Setup().RemoveListener(&stopper);
  EXPECT_EQ(gRan, (std::vector<std::string>{"A1"}));
  EXPECT_EQ(stopper.Finished, (std::vector<intptr_t>{1}));
  ASSERT_EQ(f.Setup().Errors().Count(), 1);
  EXPECT_EQ(f.Setup().Errors().Strings(0), "Cancelled by the user.");
}

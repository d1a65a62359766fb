// Allocation failure at every point of an activation: the N-th allocation
// throws std::bad_alloc, for N = 1, 2, 3, ... until an activation needs no
// more. Each must end cleanly: result 0, status 2 (OpenFailed), nothing
// left on the heap, and no geometry sent (the output allocates all it needs
// before its first host call).
#include "BoundsSupport.h"

namespace {

// Returns how many allocations the whole activation made.
int64_t FailEachAllocationInTurn(const std::string& text, const PanelScript& script) {
    for (int64_t n = 1;; ++n) {
        RecordingHost host;
        host.script = script;
        host.Prepare();
        const size_t before = HeapCurrent();
        HeapFailAllocation(n);
        gActiveHost = &host;
        const int32_t result = ActivateImportFromMemory(1, RecordingHost::GlobalLookup,
                                                        &host.record, text.data(), text.size());
        gActiveHost = nullptr;
        const bool failed = HeapAttempts() >= n;
        HeapFailAllocation(0);
        host.Finish(result, failed);
        EXPECT_EQ(host.errorCount, 0) << "failing allocation " << n << ": " << host.firstErrors;
        EXPECT_EQ(HeapCurrent(), before) << "failing allocation " << n;
        EXPECT_EQ(result, kActivateHandled);
        if (!failed) {
            EXPECT_EQ(host.record.status, kImportLoaded);
            return n - 1;
        }
        EXPECT_EQ(host.record.status, kImportOpenFailed) << "failing allocation " << n;
        EXPECT_EQ(host.geometryCalls, 0) << "failing allocation " << n;
        if (n > 100000) {
            ADD_FAILURE() << "activation never completes";
            return n;
        }
    }
}

TEST(AllocationFailure, EveryAllocationOfAnExampleActivationMayFail) {
    for (const char* name : kExamples) {
        SCOPED_TRACE(name);
        const std::string text = ReadExample(name);
        const int64_t allocations = FailEachAllocationInTurn(text, PanelScript{});
        // Under the sanitizers only operator new is counted (the tables grow
        // with realloc), so fewer allocations are seen there.
        EXPECT_GT(allocations, HeapCountsMalloc() ? 5 : 2);
    }
}

TEST(AllocationFailure, PanelEditsAndLongNamesChangeNothing) {
    PanelScript script;
    script.baseName = "a-name-far-longer-than-any-surface-name-the-host-expects";
    script.setLoadTarget = true;
    script.loadTarget = 0;
    FailEachAllocationInTurn(ReadExample("freelines.rk4"), script);
    script.action = PanelAction::kUnavailable;
    FailEachAllocationInTurn(ReadExample("cube.rk4"), script);
}

} // namespace

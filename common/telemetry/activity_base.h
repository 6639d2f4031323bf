// The activity base class of the tools' telemetry: one activity per run, with a start event, a
// stop event carrying the run's HRESULT, and "ActivityError" events for the failures reported on
// the thread that started it.
//
// Copies of an activity share its state and each adds a reference; a Stop of a copy while
// other references remain writes "ActivityIntermediateStop", the last one the stop event. An
// activity (or copy) destroyed while the activity is started, without its own Stop, stops it with
// the kept failure's HRESULT, else 0x8007023E; when that was the last holder of the state,
// "ActivityStoppedAutomatically" follows.
#pragma once
#include "platform/platform.h"

#include <memory>

#include "common/telemetry/trace_logging_provider.h"

namespace telemetry {

class ActivityState;

// The non-template part of every activity: one holder of the shared state.
class ActivityHolder {
public:
    ActivityHolder(const TraceLoggingProvider& provider, const char* name, ULONGLONG keyword, UCHAR level,
                   ULONGLONG privacyTags);
    ActivityHolder(const ActivityHolder& other);
    ActivityHolder& operator=(const ActivityHolder&) = delete;
    ~ActivityHolder();

    void Start();
    void Stop(HRESULT hr);
    // The activity id: all zero unless a session listened when the activity started.
    GUID Id() const;

private:
    std::shared_ptr<ActivityState> state_;
    bool holdsReference_ = true; // until this holder's own Stop
};

// Provider: the provider class; Keyword, Level, PrivacyTags: the activity's own. The derived
// activity class passes its event name.
template <class Provider, ULONGLONG Keyword, UCHAR Level, ULONGLONG PrivacyTags>
class ActivityBase {
public:
    // Starts the activity and begins watching the failures reported on the calling thread.
    void Start() { holder_.Start(); }
    // Stops with `hr` (a failing result already kept is never replaced).
    void Stop(HRESULT hr = S_OK) { holder_.Stop(hr); }
    GUID Id() const { return holder_.Id(); }

protected:
    explicit ActivityBase(const char* name)
        : holder_(ProviderInstance<Provider>(), name, Keyword, Level, PrivacyTags)
    {
    }

private:
    ActivityHolder holder_;
};

} // namespace telemetry

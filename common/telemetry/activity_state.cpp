// The shared state of an activity: start, stop and intermediate stop, the implicit stop of a
// destroyed activity, the failure notification with its two "ActivityError" forms, and the
// kept failure. State changes are made under the activity's lock; events are written outside it.
// The failure fields' layout is failure_fields.h.
//
// A failure observer is installed on the thread that started the activity and removed by a stop
// on that thread. A stop on another thread cannot remove it, so observers reach an activity only
// through the set of live states: a state destroyed meanwhile is never touched.
#include "common/telemetry/activity_base.h"

#include <atomic>
#include <cstdint>
#include <new>
#include <optional>
#include <set>

#include "common/failure_macros.h"
#include "common/hresults.h"
#include "common/telemetry/failure_fields.h"

namespace telemetry {

namespace {
constexpr ULONGLONG kFirstReportKeyword = 0x200000000000;

// The id of the last failure any activity was told about, process-wide.
std::atomic<std::uint32_t> g_lastFailureId{0};

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

private:
    SRWLOCK& lock_;
};

class SharedLock {
public:
    explicit SharedLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockShared(&lock_); }
    ~SharedLock() { ReleaseSRWLockShared(&lock_); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

private:
    SRWLOCK& lock_;
};

SRWLOCK g_liveLock = SRWLOCK_INIT;
std::set<const void*> g_liveStates;

// Telemetry is best effort: what cannot be recorded for lack of memory is left out, and the run
// it describes goes on as if no session listened.
template <typename Work>
void BestEffort(Work&& work) noexcept
{
    try {
        work();
    } catch (const std::bad_alloc&) {
    }
}
} // namespace

class ActivityState {
public:
    ActivityState(const TraceLoggingProvider& provider, const char* name, ULONGLONG keyword, UCHAR level,
                   ULONGLONG privacyTags)
        : provider_(provider), name_(name), keyword_(keyword), level_(level), privacyTags_(privacyTags)
    {
    }

    ~ActivityState()
    {
        const ExclusiveLock hold(g_liveLock);
        g_liveStates.erase(this);
    }

    ActivityState(const ActivityState&) = delete;
    ActivityState& operator=(const ActivityState&) = delete;

    void AddReference()
    {
        const ExclusiveLock hold(lock_);
        ++references_;
    }

    bool IsStarted()
    {
        const SharedLock hold(lock_);
        return state_ == State::Started;
    }

    GUID Id()
    {
        const SharedLock hold(lock_);
        return id_;
    }

    // The HRESULT of a stop that the activity's destruction makes.
    HRESULT ImplicitStopResult()
    {
        const SharedLock hold(lock_);
        return kept_ && FAILED(kept_->hr) ? kept_->hr : kHrUnhandledException;
    }

    void Start()
    {
        bool enabled = false;
        GUID id{};
        {
            const ExclusiveLock hold(lock_);
            enabled = provider_.IsEnabled(level_, keyword_);
            if (enabled) {
                EventActivityIdControl(EVENT_ACTIVITY_CTRL_CREATE_ID, &id_);
            }
            id = id_;
            state_ = State::Started;
            watchedThread_ = GetCurrentThreadId();
        }
        if (enabled) {
            EventFields fields(name_);
            fields.UInt64("PartA_PrivTags", privacyTags_);
            fields.Struct("wilActivity", 1);
            fields.UInt32("threadId", GetCurrentThreadId());
            provider_.Write(fields, level_, kOpcodeStart, keyword_, &id, nullptr);
        }
        {
            const ExclusiveLock hold(g_liveLock);
            g_liveStates.insert(this);
        }
        previousObserver_ = failure::SetThreadFailureObserver({&OnFailure, this});
        watching_ = true;
    }

    void Stop(HRESULT hr)
    {
        bool noReference = false;
        bool last = false;
        HRESULT result = S_OK;
        std::optional<FailureDetails> kept;
        GUID id{};
        std::optional<DWORD> watchedThread;
        {
            const ExclusiveLock hold(lock_);
            watchedThread = watchedThread_;
            noReference = references_ < 1;
            if (!noReference) {
                if (!FAILED(result_)) {
                    result_ = hr;
                }
                --references_;
                last = references_ == 0;
                if (last) {
                    state_ = State::Stopped;
                    if (FAILED(result_) && kept_ && kept_->hr == result_) {
                        kept = kept_;
                    }
                }
                result = result_;
                id = id_;
            }
        }
        // Outside the lock: the fail-fast report reaches this activity's own observer.
        FAIL_FAST_HR_IF(E_UNEXPECTED, noReference);

        const DWORD threadId = GetCurrentThreadId();
        if (last && provider_.IsEnabled(level_, keyword_)) {
            EventFields fields(name_);
            fields.UInt64("PartA_PrivTags", privacyTags_);
            if (kept) {
                fields.UInt64("PartA_PrivTags", kFailurePrivacyTags);
                AddFailureFields(fields, *kept, false);
            } else {
                fields.Struct("wilActivity", 2);
                fields.UInt32("hresult", static_cast<std::uint32_t>(result));
                fields.UInt32("threadId", threadId);
            }
            provider_.Write(fields, level_, kOpcodeStop, keyword_, &id, nullptr);
        } else if (!last && provider_.IsEnabled(level_, keyword_)) {
            EventFields fields("ActivityIntermediateStop");
            fields.UInt64("PartA_PrivTags", kFailurePrivacyTags);
            fields.Struct("wilActivity", 2);
            fields.UInt32("hresult", static_cast<std::uint32_t>(hr));
            fields.UInt32("threadId", threadId);
            provider_.Write(fields, level_, kOpcodeInfo, keyword_, &id, nullptr);
        }

        watching_ = false;
        if (!watchedThread) {
            return; // never started: no thread was watched
        }
        if (threadId == *watchedThread) {
            failure::SetThreadFailureObserver(previousObserver_);
        } else {
            LOG_HR(kHrAssertionFailure);
        }
    }

    void WriteStoppedAutomatically()
    {
        if (provider_.IsEnabled(level_, keyword_)) {
            const GUID id = Id();
            EventFields fields("ActivityStoppedAutomatically");
            provider_.Write(fields, level_, kOpcodeStop, keyword_, &id, nullptr);
        }
    }

private:
    enum class State { Created, Started, Stopped };

    static void OnFailure(void* context, const failure::FailureInfo& info)
    {
        const SharedLock hold(g_liveLock);
        if (g_liveStates.contains(context)) {
            BestEffort([&] { static_cast<ActivityState*>(context)->NotifyFailure(info); });
        }
    }

    void NotifyFailure(const failure::FailureInfo& info)
    {
        if (info.suppressTelemetry || !watching_) {
            return;
        }
        const bool firstReport = g_lastFailureId.exchange(info.failureId) != info.failureId;
        const FailureDetails details(info);
        const ULONGLONG keyword = firstReport ? keyword_ | kFirstReportKeyword : keyword_;
        if (provider_.IsEnabled(kLevelError, keyword)) {
            const GUID id = Id();
            EventFields fields("ActivityError");
            fields.UInt64("PartA_PrivTags", kFailurePrivacyTags);
            AddFailureFields(fields, details, !firstReport);
            provider_.Write(fields, kLevelError, kOpcodeInfo, keyword, &id, nullptr);
        }
        const ExclusiveLock hold(lock_);
        const bool alreadyKept = kept_ && kept_->hr == info.hr;
        const bool isResult = FAILED(result_) && result_ == info.hr;
        if (!alreadyKept && !isResult) {
            kept_ = details;
        }
    }

    const TraceLoggingProvider& provider_;
    const char* const name_;
    const ULONGLONG keyword_;
    const UCHAR level_;
    const ULONGLONG privacyTags_;

    SRWLOCK lock_ = SRWLOCK_INIT;
    State state_ = State::Created;
    HRESULT result_ = S_OK;
    LONG references_ = 1;
    GUID id_{};
    std::optional<FailureDetails> kept_;
    std::optional<DWORD> watchedThread_; // set by the first start

    // Touched only on the watched thread (and by a stop elsewhere, which only clears the flag).
    std::atomic<bool> watching_{false};
    failure::ThreadObserver previousObserver_{};
};

namespace {
std::shared_ptr<ActivityState> NewState(const TraceLoggingProvider& provider, const char* name, ULONGLONG keyword,
                                        UCHAR level, ULONGLONG privacyTags) noexcept
{
    std::shared_ptr<ActivityState> state;
    BestEffort([&] { state = std::make_shared<ActivityState>(provider, name, keyword, level, privacyTags); });
    return state;
}
} // namespace

// A holder without state (it could not be allocated) records nothing.
ActivityHolder::ActivityHolder(const TraceLoggingProvider& provider, const char* name, ULONGLONG keyword,
                               UCHAR level, ULONGLONG privacyTags)
    : state_(NewState(provider, name, keyword, level, privacyTags))
{
}

ActivityHolder::ActivityHolder(const ActivityHolder& other) : state_(other.state_)
{
    if (state_ != nullptr) {
        state_->AddReference();
    }
}

ActivityHolder::~ActivityHolder()
{
    if (state_ == nullptr || !holdsReference_ || !state_->IsStarted()) {
        return;
    }
    Stop(state_->ImplicitStopResult());
    if (state_.use_count() == 1) {
        BestEffort([&] { state_->WriteStoppedAutomatically(); });
    }
}

void ActivityHolder::Start()
{
    if (state_ != nullptr) {
        BestEffort([&] { state_->Start(); });
    }
}

void ActivityHolder::Stop(HRESULT hr)
{
    holdsReference_ = false;
    if (state_ != nullptr) {
        BestEffort([&] { state_->Stop(hr); });
    }
}

GUID ActivityHolder::Id() const
{
    return state_ != nullptr ? state_->Id() : GUID{};
}

} // namespace telemetry

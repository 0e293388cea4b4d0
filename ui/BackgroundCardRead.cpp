#include "BackgroundCardRead.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <exception>

#include "cardlist/CardListReadBack.h"

namespace {
constexpr std::chrono::milliseconds kLongestWait{100};
}  // namespace

TBackgroundCardRead::TBackgroundCardRead(TCardListText text, QObject* context,
                                         std::function<void()> done) {
    std::promise<TResult> promise;
    m_result = promise.get_future();
    m_worker = std::jthread([this, promise = std::move(promise), text = std::move(text), context,
                             done = std::move(done)]() mutable {
        // Linux keeps a nice value per thread, and the reader's second thread inherits it;
        // failing is harmless.
        (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
        // A window that is not painted (hidden, say) does not keep the read waiting.
        (void)m_go.try_acquire_for(kLongestWait);
        try {
            TResult result;
            ReadCardListFromText(std::move(text), result.Read.Cards, &result.Read.Identity);
            result.ReadsBack = ReadsBackAsWritten(result.Read.Cards);
            promise.set_value(std::move(result));
        } catch (...) {
            promise.set_exception(std::current_exception());
        }
        QMetaObject::invokeMethod(context, std::move(done), Qt::QueuedConnection);
    });
}

void TBackgroundCardRead::Go() {
    if (!m_went.exchange(true)) m_go.release();
}

bool TBackgroundCardRead::IsFinished() const {
    return m_result.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

TBackgroundCardRead::TResult TBackgroundCardRead::Take() {
    Go();
    return m_result.get();
}

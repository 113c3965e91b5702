#pragma once
// Signals of the toolkit: Boost.Signals2 returning long, slots called in
// connection order, the last slot's result returned. The toolkit runs on one
// thread, so the signals take no locks. A slot made with Tracked() stops being
// called once its owner is destroyed.

#include <boost/signals2.hpp>
#include <memory>

class IMEvent;
class IMMouseEvent;
class IMKeyboardEvent;

// The last slot's result; 0 when no slot ran (a slot whose owner died is skipped).
struct LastValueOrZero {
    using result_type = long;
    template <class Iterator> long operator()(Iterator first, Iterator last) const
    {
        long result = 0;
        for (; first != last; ++first)
            result = *first;
        return result;
    }
};

template <class Signature>
using IMSignal =
    typename boost::signals2::signal_type<Signature, boost::signals2::keywords::combiner_type<LastValueOrZero>,
        boost::signals2::keywords::mutex_type<boost::signals2::dummy_mutex>>::type;

using IMConnection = boost::signals2::connection;
using IMScopedConnection = boost::signals2::scoped_connection;
using IMConnectionBlock = boost::signals2::shared_connection_block;

using EventSignal = IMSignal<long(const IMEvent&)>;
using MouseSignal = IMSignal<long(const IMMouseEvent&)>;
using KeySignal = IMSignal<long(const IMKeyboardEvent&)>;
using VoidSignal = IMSignal<long()>;
using EventSlot = EventSignal::slot_type;
using MouseSlot = MouseSignal::slot_type;
using KeySlot = KeySignal::slot_type;
using VoidSlot = VoidSignal::slot_type;

// Emits only when the signal has slots.
template <class Signal, class... Args> long Emit(Signal& signal, const Args&... args)
{
    return signal.empty() ? 0 : signal(args...);
}

// Something whose death disconnects the slots bound to it.
class IMLifetime {
public:
    IMLifetime() = default;
    IMLifetime(const IMLifetime&)
        : IMLifetime()
    {
    }
    IMLifetime& operator=(const IMLifetime&) { return *this; }
    const std::shared_ptr<int>& LifetimeToken() const { return token; }

private:
    std::shared_ptr<int> token = std::make_shared<int>(0);  // expires with the object
};

// A slot calling f for as long as owner lives.
template <class Slot, class F> Slot Tracked(const IMLifetime* owner, F&& f)
{
    Slot slot(std::forward<F>(f));
    slot.track_foreign(std::weak_ptr<int>(owner->LifetimeToken()));
    return slot;
}

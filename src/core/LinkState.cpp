#include "LinkState.h"

#include <algorithm>

namespace myrl {

namespace {

constexpr size_t kRateReplies = 8;

// Whole seconds of `d`, rounded down.
int64_t seconds(LinkState::Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::seconds>(d).count();
}

// `v` with one decimal, a point as separator whatever the locale.
std::string tenths(double v) {
    const auto t = static_cast<int64_t>(v * 10 + 0.5);
    return std::to_string(t / 10) + "." + std::to_string(t % 10);
}

} // namespace

void LinkState::Opened(const std::string& name, const std::string& device, Clock::time_point now) {
    kind_ = LinkKind::Opened;
    name_ = name;
    device_ = device;
    reason_.clear();
    since_ = now;
    replied_ = false;
    replies_.clear();
    update(now);
}

void LinkState::OpenFailed(const std::string& name, const std::string& reason,
                           Clock::time_point now) {
    kind_ = LinkKind::NotOpen;
    name_ = name;
    device_.clear();
    reason_ = reason;
    replies_.clear();
    update(now);
}

void LinkState::Reply(Clock::time_point now) {
    curve_ = true;
    lastReply_ = now;
    missed_ = 0;
    if (kind_ == LinkKind::Held) {
        // What completes while output is held answers no command of ours (noise, or a reply
        // begun before): a curve on the chart, but the link stays held until the line lets
        // output go, and it says nothing of the sweep rate.
        update(now);
        return;
    }
    kind_ = LinkKind::Replying;
    since_ = now;
    replied_ = true;
    replies_.push_back(now);
    if (replies_.size() > kRateReplies) {
        replies_.pop_front();
    }
    if (const double rate = SweepRate(); rate > 0) {
        lastRate_ = rate;
    }
    update(now);
}

void LinkState::NoReply(Clock::time_point now) {
    ++missed_;
    if (kind_ == LinkKind::Opened || kind_ == LinkKind::Replying || kind_ == LinkKind::Silent) {
        // A single reply late by less than a second is not worth a word.
        if (now - since_ >= std::chrono::seconds(1)) {
            kind_ = LinkKind::Silent;
            replies_.clear();
        }
    }
    update(now);
}

void LinkState::LineLost(Clock::time_point now) {
    if (kind_ != LinkKind::Lost) {
        ++missed_;
    }
    kind_ = LinkKind::Lost;
    replies_.clear();
    update(now);
}

bool LinkState::OutputHeld(bool held, Clock::time_point now) {
    if (held &&
        (kind_ == LinkKind::Opened || kind_ == LinkKind::Replying || kind_ == LinkKind::Silent)) {
        kind_ = LinkKind::Held;
        replies_.clear();
    } else if (!held && kind_ == LinkKind::Held) {
        kind_ = replied_ ? LinkKind::Silent : LinkKind::Opened;
    } else {
        return false;
    }
    update(now);
    return true;
}

void LinkState::Closed() {
    kind_ = LinkKind::Closed;
    replies_.clear();
    linkLine_.clear();
}

double LinkState::SweepRate() const {
    if (replies_.size() < 2) {
        return 0;
    }
    const double s = std::chrono::duration<double>(replies_.back() - replies_.front()).count();
    return s > 0 ? static_cast<double>(replies_.size() - 1) / s : 0;
}

std::string LinkState::prefix() const {
    return device_.empty() || device_ == name_ ? name_ : name_ + " → " + device_;
}

void LinkState::update(Clock::time_point now) {
    switch (kind_) {
    case LinkKind::Closed:
        linkLine_.clear();
        break;
    case LinkKind::Opened:
        linkLine_ = prefix();
        break;
    case LinkKind::Replying: {
        const double rate = SweepRate();
        linkLine_ = prefix() + ": unit replying";
        if (rate > 0) {
            linkLine_ += ", " + tenths(rate) + " sweeps/s";
        }
        break;
    }
    case LinkKind::Silent:
        linkLine_ = prefix() + ": no reply for " + std::to_string(seconds(now - since_)) + " s";
        break;
    case LinkKind::Lost:
        linkLine_ = prefix() + ": line lost, reopening every second";
        break;
    case LinkKind::NotOpen:
        linkLine_ = name_ + ": not open: " + reason_;
        break;
    case LinkKind::Held:
        linkLine_ = prefix() + ": output held: the line sent XOFF and no XON, no command goes out";
        break;
    }

    // The curve is stale once the sweeps since it, counted or timed, reach the limit.
    // Without a known rate, a sweep a second.
    int behind = missed_;
    if (curve_ && kind_ != LinkKind::Replying) {
        const double rate = lastRate_ > 0 ? lastRate_ : 1.0;
        behind = std::max(
            behind,
            static_cast<int>(std::chrono::duration<double>(now - lastReply_).count() * rate));
    }
    if (curve_ && kind_ != LinkKind::Replying && behind >= kStaleSweeps) {
        curveLine_ = "curve older than " + std::to_string(kStaleSweeps) + " sweeps: last reply " +
                     std::to_string(seconds(now - lastReply_)) + " s ago";
    } else {
        curveLine_.clear();
    }
}

std::string LinkAlert(const LinkState& link) {
    const LinkKind kind = link.Kind();
    if (kind == LinkKind::Closed || kind == LinkKind::Opened || kind == LinkKind::Replying) {
        return {};
    }
    if (kind == LinkKind::Silent) {
        return "No reply from " + link.Name();
    }
    if (kind == LinkKind::Lost) {
        return "Line lost: " + link.Name();
    }
    if (kind == LinkKind::NotOpen) {
        return link.Name() + " not open";
    }
    return link.LinkLine();
}

} // namespace myrl

// Channels and what a RUN block sets: ALLOCATE CHANNEL, RELEASE CHANNEL and SET (DBID at the
// prompt, an until clause in a block).
#include "tools/rman/Session.h"

#include "tools/rman/Clock.h"

#include <windows.h>

namespace rmansim {

using simoracle::DatabaseState;

namespace {

const wchar_t kAutomaticChannel[] = L"ORA_DISK_1";

} // namespace

void Session::UseChannel() {
    if (!channels_.empty())
        return;
    if (channelAllocated_) {
        out_.Line(L"using channel ORA_DISK_1");
        return;
    }
    channelAllocated_ = true;
    out_.Line(L"allocated channel: ORA_DISK_1");
    out_.Line(L"channel ORA_DISK_1: SID=" + ChannelSid() + L" device type=DISK");
}

std::wstring Session::ChannelName() const {
    return channels_.empty() ? kAutomaticChannel : channels_.front().name;
}

std::wstring Session::ChannelSid() const {
    return std::to_wstring(GetCurrentProcessId() % 900 + 10 + channels_.size());
}

bool Session::ParseAllocate(TokenCursor& words, Action& action) {
    Channel channel;
    if (!words.Accept(L"channel") || !words.AcceptAny(channel.name) ||
        !(words.AcceptAll(L"device type") || words.Accept(L"type")))
        return false;
    words.Accept(L"=");
    if (!words.AcceptAny(channel.deviceType))
        return false;
    // SBT is the short name of the tape device.
    channel.deviceType =
        Upper(channel.deviceType) == L"SBT" ? L"SBT_TAPE" : Upper(channel.deviceType);
    for (;;) {
        if (words.Accept(L"maxpiecesize")) {
            words.Accept(L"=");
            if (!words.AcceptSize(channel.maxPieceSize))
                return false;
        } else if (words.Accept(L"format")) {
            words.Accept(L"=");
            if (!words.AcceptQuoted(channel.format))
                return false;
        } else {
            break;
        }
    }
    action = [channel](Session& session, const Statement&) { session.Allocate(channel); };
    return true;
}

// The simulator has disks only: another device fails as without a media management library.
void Session::Allocate(const Channel& channel) {
    RepositoryNotice();
    if (channel.deviceType != L"DISK") {
        ErrorStack({L"RMAN-03009: failure of allocate command on " + channel.name +
                        L" channel at " + CommandDate(),
                    L"ORA-19554: error allocating device, device type: " + channel.deviceType +
                        L", device name: ",
                    L"ORA-27211: Failed to load Media Management Library"});
        return;
    }
    out_.Line(L"allocated channel: " + channel.name);
    out_.Line(L"channel " + channel.name + L": SID=" + ChannelSid() + L" device type=DISK");
    channels_.push_back(channel);
}

// RELEASE CHANNEL [name]; without a name every channel of the block.
bool Session::ParseRelease(TokenCursor& words, Action& action) {
    std::wstring name;
    if (!words.Accept(L"channel"))
        return false;
    words.AcceptAny(name);
    action = [name](Session& session, const Statement&) {
        if (name.empty())
            session.ReleaseBlockChannels();
        else
            session.Release(name);
    };
    return true;
}

void Session::Release(const std::wstring& name) {
    for (auto channel = channels_.begin(); channel != channels_.end(); ++channel)
        if (channel->name == name) {
            channels_.erase(channel);
            out_.Line(L"released channel: " + name);
            return;
        }
    Fail(L"release", {L"RMAN-06012: channel: " + name + L" not allocated"});
}

void Session::ReleaseBlockChannels() {
    for (const Channel& channel : channels_)
        out_.Line(L"released channel: " + channel.name);
    channels_.clear();
}

bool Session::ParseSetDbid(TokenCursor& words, Action& action) {
    std::wstring dbid;
    SetRequest request;
    if (!words.Accept(L"dbid") || !words.AcceptAny(dbid) || !ParseNumber(dbid, request.dbid))
        return false;
    action = [request](Session& session, const Statement&) { session.SetCommand(request); };
    return true;
}

bool Session::ParseSet(TokenCursor& words, Action& action) {
    SetRequest request;
    if (words.Accept(L"until")) {
        if (!ReadUntil(words, request.until))
            return false;
        action = [request](Session& session, const Statement&) { session.SetCommand(request); };
        return true;
    }
    return ParseSetDbid(words, action);
}

void Session::SetCommand(const SetRequest& request) {
    if (request.until.kind != UntilClause::Kind::None) {
        blockUntil_ = request.until;
        out_.Line(L"executing command: SET until clause");
        return;
    }
    const DatabaseState state = Instance().state;
    if (connected_ && (state == DatabaseState::Mounted || state == DatabaseState::Open)) {
        Fail(L"set", {L"RMAN-06188: cannot use command when connected to a mounted target "
                      L"database"});
        return;
    }
    dbidSet_ = request.dbid;
    out_.Line(L"executing command: SET DBID");
}

} // namespace rmansim

#include "testing/FakeSerial.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <utility>

namespace kalvo {

namespace {

// Position of the request code in a request frame.
constexpr std::size_t RequestCodeIndex = 5;

std::uint64_t Milliseconds(std::chrono::milliseconds span)
{
    return static_cast<std::uint64_t>(std::max<std::chrono::milliseconds::rep>(span.count(), 0));
}

}  // namespace

FakeSerialPort::FakeSerialPort(FakeSerialSystem& system, int portNumber)
    : system_(system), portNumber_(portNumber)
{
}

FakeSerialPort::~FakeSerialPort()
{
    system_.Close(portNumber_);
}

void FakeSerialPort::Configure()
{
    FakePortRecord& record = system_.Record(portNumber_);
    ++record.configures;
    record.input.clear();
}

void FakeSerialPort::Purge()
{
    FakePortRecord& record = system_.Record(portNumber_);
    ++record.purges;
    record.input.clear();
}

std::size_t FakeSerialPort::Write(const std::uint8_t* data, std::size_t count)
{
    return system_.Write(portNumber_, data, count);
}

std::size_t FakeSerialPort::BytesWaiting()
{
    FakePortRecord& record = system_.Record(portNumber_);
    ++record.samples;
    const std::size_t waiting = record.gone ? 0 : record.input.size();
    record.input.insert(record.input.end(), record.afterNextSample.begin(), record.afterNextSample.end());
    record.afterNextSample.clear();
    return waiting;
}

std::size_t FakeSerialPort::Read(std::uint8_t* buffer, std::size_t count)
{
    return system_.Read(portNumber_, buffer, count);
}

void FakeSerialPort::WaitForInput(std::size_t seen, std::chrono::milliseconds limit)
{
    system_.WaitForInput(portNumber_, seen, limit);
}

bool FakeSerialPort::DeviceGone() const
{
    return system_.Record(portNumber_).gone;
}

FakeSerialSystem::FakeSerialSystem(std::uint32_t firstTick) : firstTick_(firstTick) {}

OpenOutcome FakeSerialSystem::Open(int portNumber)
{
    openAttempts_.push_back(portNumber);
    if (denied_.count(portNumber))
        return {nullptr, true};
    FakePortRecord& record = Record(portNumber);
    if (refused_.count(portNumber) || record.gone || record.open)
        return {};
    record.open = true;
    ++record.opens;
    return {std::make_unique<FakeSerialPort>(*this, portNumber), false};
}

std::uint32_t FakeSerialSystem::TickCount()
{
    return static_cast<std::uint32_t>(firstTick_ + nowMs_);
}

void FakeSerialSystem::Pause(std::chrono::milliseconds limit)
{
    Advance(limit);
}

void FakeSerialSystem::AnswerNextWrite(ReplyScript script)
{
    queuedAnswers_.push_back(std::move(script));
}

void FakeSerialSystem::AnswerRequest(std::uint8_t requestCode, ReplyScript script)
{
    standingAnswers_[requestCode] = std::move(script);
}

void FakeSerialSystem::AnswerWith(std::function<ReplyScript(const Bytes& written)> unit)
{
    unit_ = std::move(unit);
}

void FakeSerialSystem::RefuseOpen(int portNumber)
{
    refused_.insert(portNumber);
}

void FakeSerialSystem::DenyAccess(int portNumber)
{
    denied_.insert(portNumber);
}

void FakeSerialSystem::MarkGone(int portNumber)
{
    FakePortRecord& record = Record(portNumber);
    record.gone = true;
    record.input.clear();
}

void FakeSerialSystem::Reconnect(int portNumber)
{
    FakePortRecord& record = Record(portNumber);
    if (record.open)
        throw std::logic_error("port " + std::to_string(portNumber) + " reconnected while still held open");
    record.gone = false;
}

void FakeSerialSystem::ArriveAfterNextSample(int portNumber, Bytes bytes)
{
    Record(portNumber).afterNextSample = std::move(bytes);
}

void FakeSerialSystem::Advance(std::chrono::milliseconds span)
{
    AdvanceTo(nowMs_ + Milliseconds(span));
}

FakePortRecord FakeSerialSystem::Port(int portNumber) const
{
    const auto found = ports_.find(portNumber);
    return found == ports_.end() ? FakePortRecord{} : found->second;
}

void FakeSerialSystem::Close(int portNumber)
{
    FakePortRecord& record = Record(portNumber);
    record.open = false;
    ++record.closes;
    record.input.clear();
}

std::size_t FakeSerialSystem::Write(int portNumber, const std::uint8_t* data, std::size_t count)
{
    const bool gone = Record(portNumber).gone;
    Bytes bytes(data, data + count);
    writes_.push_back({portNumber, nowMs_, bytes, gone ? 0 : count});
    if (gone)
        return 0;
    for (ReplyChunk& chunk : AnswerFor(bytes))
        deliveries_.emplace(nowMs_ + chunk.delayMs, Delivery{portNumber, std::move(chunk.bytes)});
    DeliverDue();
    return count;
}

// A hung-up line counts as ready at once, as poll() reports it, so a gone port does not wait;
// nor does one that already holds more than the caller saw.
void FakeSerialSystem::WaitForInput(int portNumber, std::size_t seen, std::chrono::milliseconds limit)
{
    FakePortRecord& record = Record(portNumber);
    ++record.waits;
    if (record.gone || record.input.size() > seen)
        return;
    std::uint64_t until = nowMs_ + Milliseconds(limit);
    for (const auto& [due, delivery] : deliveries_) {
        if (delivery.portNumber == portNumber) {
            until = std::min(until, due);
            break;
        }
    }
    AdvanceTo(until);
}

std::size_t FakeSerialSystem::Read(int portNumber, std::uint8_t* buffer, std::size_t count)
{
    FakePortRecord& record = Record(portNumber);
    record.readRequests.push_back(count);
    if (record.gone)
        return 0;
    const std::size_t taken = std::min(count, record.input.size());
    std::copy_n(record.input.begin(), taken, buffer);
    record.input.erase(record.input.begin(), record.input.begin() + static_cast<std::ptrdiff_t>(taken));
    return taken;
}

ReplyScript FakeSerialSystem::AnswerFor(const Bytes& written)
{
    if (!queuedAnswers_.empty()) {
        ReplyScript script = std::move(queuedAnswers_.front());
        queuedAnswers_.pop_front();
        return script;
    }
    if (unit_)
        return unit_(written);
    if (written.size() > RequestCodeIndex) {
        const auto standing = standingAnswers_.find(written[RequestCodeIndex]);
        if (standing != standingAnswers_.end())
            return standing->second;
    }
    return {};
}

void FakeSerialSystem::AdvanceTo(std::uint64_t timeMs)
{
    nowMs_ = std::max(nowMs_, timeMs);
    DeliverDue();
}

// Bytes for a port that is closed or gone when they arrive are lost, as on a real line.
void FakeSerialSystem::DeliverDue()
{
    while (!deliveries_.empty() && deliveries_.begin()->first <= nowMs_) {
        const Delivery& delivery = deliveries_.begin()->second;
        FakePortRecord& record = Record(delivery.portNumber);
        if (record.open && !record.gone)
            record.input.insert(record.input.end(), delivery.bytes.begin(), delivery.bytes.end());
        deliveries_.erase(deliveries_.begin());
    }
}

Bytes MakeReply(std::uint8_t requestCode, const Bytes& data)
{
    const std::size_t length = ReplyLengthFor(requestCode);
    if (length == 0)
        throw std::invalid_argument("no reply to request code " + std::to_string(requestCode));
    const std::size_t dataLength = length - ReplyLeadBytes - ReplyTrailBytes;
    if (data.size() > dataLength)
        throw std::invalid_argument("reply data longer than " + std::to_string(dataLength) + " bytes");

    Bytes padded = data;
    padded.resize(dataLength, 0);
    return BuildReply(requestCode, padded);
}

}  // namespace kalvo

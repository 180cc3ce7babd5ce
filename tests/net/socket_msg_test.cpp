#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/foundation/trace_file_fixture.h"
#include "tkv/diagnostics.h"
#include "tkv/socket_msg.h"
#include "tkv/socket_msg_receiver.h"

namespace {

// The framing of the tests: a 4-byte little-endian text length, the text, no trailer. A test
// may force the sizes ParseHeader reports, to play a hostile or broken peer.
class LengthMsg : public TKV::CSocketMsg {
  public:
    ~LengthMsg() override = default;

    int parseCalls = 0;
    bool forceSizes = false;
    int forcedLength = 0, forcedHeader = 0, forcedTrailer = 0;

  protected:
    bool ParseHeader(int* msgLength, int* headerSize, int* trailerSize) override {
        ++parseCalls;
        if (forceSizes) {
            *msgLength = forcedLength;
            *headerSize = forcedHeader;
            *trailerSize = forcedTrailer;
            return true;
        }
        if (GetRecvSize() < 4) {
            return false;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(GetPacket());
        *msgLength = static_cast<int>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24);
        *headerSize = 4;
        *trailerSize = 0;
        return true;
    }
};

std::string Frame(const std::string& text) {
    auto n = static_cast<uint32_t>(text.size());
    std::string out{static_cast<char>(n & 0xFF), static_cast<char>((n >> 8) & 0xFF),
                    static_cast<char>((n >> 16) & 0xFF), static_cast<char>(n >> 24)};
    return out + text;
}

class TestReceiver : public TKV::CSocketMsgReceiver {
  public:
    ~TestReceiver() override {
        for (TKV::CSocketMsg* msg : queue) {
            delete static_cast<LengthMsg*>(msg);
        }
        for (TKV::CSocketMsg* msg : pool) {
            delete static_cast<LengthMsg*>(msg);
        }
        delete static_cast<LengthMsg*>(current);
    }

    TKV::CSocketMsg* CreateMessage() override {
        ++created;
        return new LengthMsg;
    }

    bool Add(const std::string& bytes) {
        return AddMessage(const_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
    }

    // Pops one message, returns its text and gives it back to the pool.
    std::string TakeText() {
        TKV::CSocketMsg* msg = Pop();
        if (msg == nullptr) {
            return "<none>";
        }
        std::string text(msg->GetPacket() + 4, static_cast<size_t>(msg->GetMsgLength()));
        PushPool(msg);
        return text;
    }

    LengthMsg* Current() { return static_cast<LengthMsg*>(current); }

    int created = 0;
    std::vector<int> validSizes;  // recvSize seen by AssertValidMsg
    std::vector<int> partialSizes;

  protected:
    void AssertValidMsg(TKV::CSocketMsg* msg) override { validSizes.push_back(msg->GetRecvSize()); }
    void AssertPartialMsg(TKV::CSocketMsg* msg) override {
        partialSizes.push_back(msg->GetRecvSize());
    }
};

int AddBytes(LengthMsg& msg, const std::string& bytes) {
    return msg.Add(const_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
}

}  // namespace

TEST(SocketMsgAdd, RejectsNullDataAndSizesBelowOne) {
    LengthMsg msg;
    char byte = 0;
    EXPECT_EQ(msg.Add(nullptr, 4), -1);
    EXPECT_EQ(msg.Add(&byte, 0), -1);
    EXPECT_EQ(msg.Add(&byte, -5), -1);
    EXPECT_EQ(msg.GetRecvSize(), 0);
    EXPECT_EQ(msg.GetPacket(), nullptr);
    EXPECT_EQ(msg.parseCalls, 0);
}

TEST(SocketMsgAdd, ReportsPacketSizeOnlyOnceComplete) {
    LengthMsg msg;
    std::string packet = Frame("hello");
    EXPECT_EQ(AddBytes(msg, packet.substr(0, 2)), -1);
    EXPECT_EQ(msg.GetMsgLength(), -1);
    EXPECT_EQ(AddBytes(msg, packet.substr(2, 4)), -1);
    EXPECT_EQ(msg.GetMsgLength(), 5);
    EXPECT_EQ(AddBytes(msg, packet.substr(6) + "XY"), 9);
    EXPECT_EQ(msg.GetRecvSize(), 11);  // the bytes beyond the packet stay held
    EXPECT_EQ(msg.GetPacketSize(), 9);
    EXPECT_EQ(std::string(msg.GetMsg(), 5), "hello");
    EXPECT_EQ(msg.parseCalls, 2);  // not asked again once the length is known
}

TEST(SocketMsgAdd, GrowsByExactlyTheIncomingAmount) {
    LengthMsg msg;
    AddBytes(msg, "abc");
    EXPECT_EQ(msg.GetCapacity(), 3);
    AddBytes(msg, "de");
    EXPECT_EQ(msg.GetCapacity(), 5);
    msg.Reset();
    EXPECT_EQ(msg.GetCapacity(), 5);
    AddBytes(msg, "12345");  // filling the capacity exactly counts as too small
    EXPECT_EQ(msg.GetCapacity(), 10);
    msg.Reset();
    AddBytes(msg, "1234");
    EXPECT_EQ(msg.GetCapacity(), 10);
}

TEST(SocketMsgAdd, HeaderlessFramingHasNoMsgText) {
    LengthMsg msg;
    msg.forceSizes = true;
    msg.forcedLength = 3;
    EXPECT_EQ(AddBytes(msg, "abc"), 3);
    EXPECT_EQ(msg.GetMsg(), nullptr);
}

TEST(SocketMsgAdd, AbsurdSizesCountAsIncomplete) {
    struct Case {
        int length, header, trailer;
    };
    for (Case c : {Case{-5, 4, 0}, Case{5, -1, 0}, Case{5, 4, -9}, Case{INT32_MAX, 4, 0},
                   Case{INT32_MAX - 2, 2, 1}, Case{1, INT32_MAX, INT32_MAX}}) {
        LengthMsg msg;
        msg.forceSizes = true;
        msg.forcedLength = c.length;
        msg.forcedHeader = c.header;
        msg.forcedTrailer = c.trailer;
        EXPECT_EQ(AddBytes(msg, std::string(64, 'x')), -1) << c.length << " " << c.header;
        EXPECT_EQ(msg.GetPacketSize(), -1);
    }
}

TEST(SocketMsgReceiver, AbsurdHeaderLengthLeavesMessageWaiting) {
    TestReceiver receiver;
    std::string huge = "\xFF\xFF\xFF\x7F" + std::string(100, 'z');  // INT_MAX text bytes
    EXPECT_FALSE(receiver.Add(huge));
    std::string negative =
        std::string("\x00\x00\x00\x80", 4) + std::string(10, 'n');  // reads as INT_MIN
    TestReceiver other;
    EXPECT_FALSE(other.Add(negative));
    EXPECT_FALSE(other.Add(std::string(50, 'm')));
    EXPECT_EQ(receiver.GetQueueSize(), 0);
    EXPECT_EQ(other.GetQueueSize(), 0);
}

TEST(AddMessage, RejectsNullOrEmptyChunk) {
    TestReceiver receiver;
    char byte = 0;
    EXPECT_FALSE(receiver.AddMessage(nullptr, 3));
    EXPECT_FALSE(receiver.AddMessage(&byte, 0));
    EXPECT_EQ(receiver.created, 0);
    EXPECT_EQ(receiver.Current(), nullptr);
}

TEST(AddMessage, CompletesMessageSplitOverThreeChunks) {
    TestReceiver receiver;
    std::string packet = Frame("split message");
    EXPECT_FALSE(receiver.Add(packet.substr(0, 3)));
    EXPECT_FALSE(receiver.Add(packet.substr(3, 5)));
    ASSERT_NE(receiver.Current(), nullptr);
    EXPECT_TRUE(receiver.Add(packet.substr(8)));
    EXPECT_EQ(receiver.Current(), nullptr);
    EXPECT_EQ(receiver.TakeText(), "split message");
}

TEST(AddMessage, CutsSeveralMessagesAndKeepsTheRest) {
    TestReceiver receiver;
    std::string third = Frame("third");
    EXPECT_TRUE(receiver.Add(Frame("one") + Frame("two!") + third.substr(0, 3)));
    EXPECT_EQ(receiver.GetQueueSize(), 2);
    EXPECT_EQ(receiver.validSizes, (std::vector<int>{7, 8}));
    ASSERT_NE(receiver.Current(), nullptr);
    EXPECT_EQ(receiver.Current()->GetRecvSize(), 3);
    EXPECT_EQ(std::string(receiver.Current()->GetPacket(), 3), third.substr(0, 3));

    EXPECT_TRUE(receiver.Add(third.substr(3) + Frame("fourth")));
    EXPECT_EQ(receiver.TakeText(), "one");
    EXPECT_EQ(receiver.TakeText(), "two!");
    EXPECT_EQ(receiver.TakeText(), "third");
    EXPECT_EQ(receiver.TakeText(), "fourth");
    EXPECT_EQ(receiver.Pop(), nullptr);
}

TEST(AddMessage, CompleteMessagesHoldExactlyTheirPacket) {
    TestReceiver receiver;
    receiver.Add(Frame("ab") + Frame("cde") + Frame("f"));
    for (int expected : {6, 7, 5}) {
        TKV::CSocketMsg* msg = receiver.Pop();
        ASSERT_NE(msg, nullptr);
        EXPECT_EQ(msg->GetRecvSize(), expected);
        EXPECT_EQ(msg->GetPacketSize(), expected);
        receiver.PushPool(msg);
    }
}

TEST(AddMessage, ByteAtATimeDeliveryEqualsWholeDelivery) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::string> texts;
        std::string stream;
        int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            std::string text(1 + random() % 40, '\0');
            for (char& c : text) {
                c = static_cast<char>(random());
            }
            texts.push_back(text);
            stream += Frame(text);
        }
        TestReceiver whole, bytes, pieces;
        whole.Add(stream);
        for (char c : stream) {
            bytes.Add(std::string(1, c));
        }
        for (size_t at = 0; at < stream.size();) {
            size_t n = 1 + random() % 23;
            pieces.Add(stream.substr(at, n));
            at += n;
        }
        for (const std::string& text : texts) {
            EXPECT_EQ(whole.TakeText(), text);
            EXPECT_EQ(bytes.TakeText(), text);
            EXPECT_EQ(pieces.TakeText(), text);
        }
        EXPECT_EQ(whole.validSizes, bytes.validSizes);
        EXPECT_EQ(whole.validSizes, pieces.validSizes);
        EXPECT_EQ(bytes.Pop(), nullptr);
    }
}

TEST(AddMessage, ReusesPooledMessageWithItsCapacity) {
    TestReceiver receiver;
    receiver.Add(Frame(std::string(100, 'L')));
    TKV::CSocketMsg* first = receiver.Pop();
    int capacity = first->GetCapacity();
    char* packet = first->GetPacket();
    EXPECT_EQ(receiver.PushPool(first), 1u);

    receiver.Add(Frame("short"));
    TKV::CSocketMsg* second = receiver.Pop();
    EXPECT_EQ(second, first);
    EXPECT_EQ(second->GetRecvSize(), 9);
    EXPECT_EQ(second->GetCapacity(), capacity);
    EXPECT_EQ(second->GetPacket(), packet);
    EXPECT_EQ(std::string(second->GetMsg(), 5), "short");
    EXPECT_EQ(receiver.created, 1);
    receiver.PushPool(second);
}

TEST(AddMessage, PartialHookRunsOnlyWhileLoggingIsOn) {
    TestReceiver receiver;
    TKV::EnableLogging(false, 0);
    receiver.Add(std::string("\x05\x00\x00", 3));
    EXPECT_TRUE(receiver.partialSizes.empty());
    TKV::EnableLogging(true, 0);
    receiver.Add(std::string("\x00", 1) + "ab");
    receiver.Add("cde");  // completes: no partial message left
    TKV::EnableLogging(false, 0);
    EXPECT_EQ(receiver.partialSizes, (std::vector<int>{6}));
    EXPECT_EQ(receiver.TakeText(), "abcde");
}

TEST(MessageQueue, PushAndPopInOrder) {
    TestReceiver receiver;
    LengthMsg a, b;
    EXPECT_EQ(receiver.Push(&a), 1u);
    EXPECT_EQ(receiver.Push(&b), 2u);
    EXPECT_EQ(receiver.GetQueueSize(), 2);
    receiver.LockQueue();
    EXPECT_EQ(receiver.Pop(), &a);
    EXPECT_EQ(receiver.Pop(), &b);
    receiver.UnlockQueue();
    EXPECT_EQ(receiver.Pop(), nullptr);
}

using ReceivedTraffic = TraceFileTest;

TEST_F(ReceivedTraffic, IsDumpedAsOneHexLinePerMessage) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKV::EnableLogging(true, 2);
    TestReceiver receiver;
    receiver.Add(Frame("Hi") + Frame(std::string("\x00\xFF", 2)) + "\x01");
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"recv: 020000004869\r\nrecv: 0200000000FF\r\n"));
}

TEST_F(ReceivedTraffic, IsDumpedAsTextBoundedByThePacket) {
    ASSERT_TRUE(TKVOpenTraceLog(WidePath().c_str()));
    TKV::EnableLogging(true, 1);
    TestReceiver receiver;
    // The first text has no zero byte: the next message's bytes, held behind it in the same
    // packet buffer, must not show.
    std::string stream = Frame("caf\xC3\xA9") + Frame(std::string("ab\0cd", 5)) + Frame("tail");
    receiver.Add(stream.substr(0, 2));
    receiver.Add(stream.substr(2));
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), WithBom(u"caf\u00e9abtail"));
}

TEST(AddMessage, ProducerAndConsumerThreadsShareTheQueue) {
    TestReceiver receiver;
    constexpr int kMessages = 2000;
    std::atomic<bool> produced{false};
    std::thread producer([&] {
        std::string pending;
        for (int i = 0; i < kMessages; ++i) {
            pending += Frame("message " + std::to_string(i));
            if (pending.size() > 50 || i == kMessages - 1) {
                receiver.Add(pending.substr(0, pending.size() / 2));
                receiver.Add(pending.substr(pending.size() / 2));
                pending.clear();
            }
        }
        produced = true;
    });
    std::vector<std::string> seen;
    while (static_cast<int>(seen.size()) < kMessages) {
        bool last = produced;
        TKV::CSocketMsg* msg = receiver.Pop();
        if (msg == nullptr) {
            if (last) {
                break;  // everything produced has been taken
            }
            std::this_thread::yield();
            continue;
        }
        seen.emplace_back(msg->GetMsg(), static_cast<size_t>(msg->GetMsgLength()));
        receiver.PushPool(msg);
    }
    producer.join();
    ASSERT_EQ(seen.size(), static_cast<size_t>(kMessages));
    for (int i = 0; i < kMessages; ++i) {
        ASSERT_EQ(seen[i], "message " + std::to_string(i));
    }
}

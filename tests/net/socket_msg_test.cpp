#include <climits>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/trace_file_fixture.h"
#include "tkv/socket_msg.h"
#include "tkv/socket_msg_receiver.h"

namespace {

// A 4-byte little-endian text length, the text, no trailer; or sizes a test forces, to play a
// hostile or broken peer.
class LengthMsg : public TKV::CSocketMsg {
  public:
    ~LengthMsg() override = default;
    int parseCalls = 0;
    bool force = false;
    int sizes[3] = {};  // forced text length, header size, trailer size

  protected:
    bool ParseHeader(int* msgLength, int* headerSize, int* trailerSize) override {
        ++parseCalls;
        if (!force && GetRecvSize() < 4) {
            return false;
        }
        const auto* p = reinterpret_cast<const unsigned char*>(GetPacket());
        *msgLength = force ? sizes[0]
                           : static_cast<int>(p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24);
        *headerSize = force ? sizes[1] : 4;
        *trailerSize = force ? sizes[2] : 0;
        return true;
    }
};

std::string Frame(const std::string& text) {
    auto n = static_cast<uint32_t>(text.size());
    std::string out{static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                    static_cast<char>(n >> 24)};
    return out + text;
}

int AddTo(TKV::CSocketMsg& msg, const std::string& bytes) {
    return msg.Add(const_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
}

class TestReceiver : public TKV::CSocketMsgReceiver {
  public:
    ~TestReceiver() override {
        for (auto* list : {&queue, &pool}) {
            for (TKV::CSocketMsg* msg : *list) {
                delete static_cast<LengthMsg*>(msg);
            }
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
    // Pops a message, returns its text and gives it back to the pool.
    std::string Take() {
        TKV::CSocketMsg* msg = Pop();
        if (msg == nullptr) {
            return "<none>";
        }
        std::string text(msg->GetMsg(), static_cast<size_t>(msg->GetMsgLength()));
        PushPool(msg);
        return text;
    }
    TKV::CSocketMsg* Current() { return current; }

    int created = 0;
    std::vector<int> valid, partial;  // recvSize seen by the two hooks

  protected:
    void AssertValidMsg(TKV::CSocketMsg* msg) override { valid.push_back(msg->GetRecvSize()); }
    void AssertPartialMsg(TKV::CSocketMsg* msg) override { partial.push_back(msg->GetRecvSize()); }
};

}  // namespace

TEST(SocketMsgAdd, ReportsPacketSizeOnlyOnceCompleteAndAbsurdSizesCountAsIncomplete) {
    LengthMsg msg;
    EXPECT_EQ(msg.Add(nullptr, 4), -1);
    EXPECT_EQ(AddTo(msg, ""), -1);
    std::string packet = Frame("hello");
    EXPECT_EQ(AddTo(msg, packet.substr(0, 2)), -1);
    EXPECT_EQ(AddTo(msg, packet.substr(2, 4)), -1);
    EXPECT_EQ(AddTo(msg, packet.substr(6) + "XY"), 9);
    EXPECT_EQ(msg.GetRecvSize(), 11);  // the bytes beyond the packet stay held
    EXPECT_EQ(std::string(msg.GetMsg(), 5), "hello");
    EXPECT_EQ(msg.parseCalls, 2);  // not asked again once the length is known
    for (auto sizes : {std::vector<int>{-5, 4, 0},
                       {5, -1, 0},
                       {5, 4, -9},
                       {INT_MAX, 4, 0},
                       {INT_MAX - 2, 2, 1},
                       {1, INT_MAX, INT_MAX}}) {
        LengthMsg msg;
        msg.force = true;
        std::copy(sizes.begin(), sizes.end(), msg.sizes);
        EXPECT_EQ(AddTo(msg, std::string(64, 'x')), -1) << sizes[0] << " " << sizes[1];
        EXPECT_EQ(msg.GetPacketSize(), -1);
    }
    LengthMsg headerless;  // complete, but without a header there is no message text
    headerless.force = true;
    headerless.sizes[0] = 3;
    EXPECT_EQ(AddTo(headerless, "abc"), 3);
    EXPECT_EQ(headerless.GetMsg(), nullptr);
}

TEST(AddMessage, CutsSeveralMessagesAndCarriesTheRestAndReportsPartialOnesWhileLogging) {
    TestReceiver receiver;
    char byte = 0;
    EXPECT_FALSE(receiver.AddMessage(nullptr, 3));
    EXPECT_FALSE(receiver.AddMessage(&byte, 0));
    EXPECT_EQ(receiver.created, 0);
    std::string third = Frame("third");
    EXPECT_TRUE(receiver.Add(Frame("one") + Frame("two!") + third.substr(0, 3)));
    EXPECT_EQ(receiver.GetQueueSize(), 2);
    EXPECT_EQ(receiver.valid, (std::vector<int>{7, 8}));  // each holds exactly its packet
    ASSERT_NE(receiver.Current(), nullptr);
    EXPECT_EQ(std::string(receiver.Current()->GetPacket(), 3), third.substr(0, 3));
    EXPECT_TRUE(receiver.Add(third.substr(3) + Frame("fourth")));
    EXPECT_EQ(receiver.Current(), nullptr);  // nothing left over
    for (const char* text : {"one", "two!", "third", "fourth"}) {
        EXPECT_EQ(receiver.Take(), text);
    }
    EXPECT_EQ(receiver.Pop(), nullptr);
    TestReceiver logged;  // the partial hook runs only while logging is on
    logged.Add(std::string("\x05\x00\x00", 3));
    TKV::EnableLogging(true, 0);
    logged.Add(std::string("\x00", 1) + "ab");
    logged.Add("cde");  // completes: nothing partial is left
    TKV::EnableLogging(false, 0);
    EXPECT_EQ(logged.partial, (std::vector<int>{6}));
}

TEST(AddMessage, ByteAtATimeDeliveryEqualsWholeDelivery) {
    std::mt19937 random(20261206);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::string> texts(1 + random() % 12);
        std::string stream;
        for (std::string& text : texts) {
            text.resize(1 + random() % 40);
            for (char& c : text) {
                c = static_cast<char>(random());
            }
            stream += Frame(text);
        }
        TestReceiver whole, bytes;
        whole.Add(stream);
        size_t completions = 0;  // true exactly for the byte that ends a message
        for (char c : stream) {
            completions += bytes.Add(std::string(1, c));
        }
        EXPECT_EQ(completions, texts.size());
        for (const std::string& text : texts) {
            ASSERT_EQ(whole.Take(), text);
            ASSERT_EQ(bytes.Take(), text);
        }
        EXPECT_EQ(whole.valid, bytes.valid);
        EXPECT_EQ(bytes.Pop(), nullptr);
    }
}

using ReceivedTraffic = TraceFileTest;

// As one hex line per message, or as text bounded by the packet: the first text has no zero
// byte, and the next message's bytes, held behind it in the same packet buffer, must not show.
TEST_F(ReceivedTraffic, IsDumpedAsHexLinesOrAsTextBoundedByThePacket) {
    ASSERT_TRUE(TKVOpenTraceLog(widePath_.c_str()));
    TKV::EnableLogging(true, 2);
    TestReceiver hex, text;
    hex.Add(Frame("Hi") + Frame(std::string("\x00\xFF", 2)) + "\x01");
    TKV::EnableLogging(true, 1);
    std::string stream = Frame("caf\xC3\xA9") + Frame(std::string("ab\0cd", 5)) + Frame("tail");
    text.Add(stream.substr(0, 2));
    text.Add(stream.substr(2));
    TKVCloseTraceLog();
    EXPECT_EQ(FileBytes(), Utf16(u"recv: 020000004869\r\nrecv: 0200000000FF\r\ncaf\u00e9abtail"));
}

// Descriptors: what the module writes at finish is recorded, offered back on
// a repeat run, and read through GetKey and the typed and pinned getters.
#include <gtest/gtest.h>

#include <cstring>

#include "ScriptedHost.h"

namespace {

constexpr DescriptorKeyID KeySize = FourCharCode("oeSZ");
constexpr DescriptorKeyID KeyX = FourCharCode("l1PX");
constexpr DescriptorKeyID KeyMaps = FourCharCode("maPS");
constexpr DescriptorKeyID KeyName = FourCharCode("rfMP");
constexpr DescriptorKeyID KeyAbsent = FourCharCode("nonE");

// Writes four values at finish, as the module records its style.
void WriteStyle(FilterRecord* r) {
  PIDescriptorParameters* p = r->descriptorParameters;
  WriteDescriptorProcs* w = p->writeDescriptorProcs;
  PIWriteDescriptor wd = w->openWriteDescriptorProc();
  ASSERT_NE(wd, nullptr);
  EXPECT_EQ(w->putIntegerProc(wd, KeySize, 400), 0);
  const double x = -0.25;
  EXPECT_EQ(w->putFloatProc(wd, KeyX, &x), 0);
  Handle text = r->handleProcs->newProc(3);
  std::memcpy(*text, "\x01\x02\x03", 3);
  EXPECT_EQ(w->putTextProc(wd, KeyMaps, text), 0);
  r->handleProcs->disposeProc(text);
  const uint8_t name[] = {3, 'a', 'b', 'c'};
  EXPECT_EQ(w->putStringProc(wd, KeyName, name), 0);
  PIDescriptorHandle result = nullptr;
  EXPECT_EQ(w->closeWriteDescriptorProc(wd, &result), 0);
  ASSERT_NE(result, nullptr);
  if (p->descriptor) r->handleProcs->disposeProc(p->descriptor);
  p->descriptor = result;
}

}  // namespace

TEST(HostDescriptor, EncodingRoundTripsAndRejectsDamage) {
  DescriptorStore store;
  DescriptorItem a;
  a.key = KeySize;
  a.type = TypeInteger;
  a.integer = -7;
  DescriptorItem b;
  b.key = KeyX;
  b.type = TypeFloat;
  b.number = 1.0 / 3.0;
  DescriptorItem c;
  c.key = KeyMaps;
  c.type = TypeText;
  c.bytes = {0, 1, 2, 255};
  store.items = {a, b, c};
  const std::vector<uint8_t> bytes = EncodeDescriptor(store);
  DescriptorStore back;
  ASSERT_TRUE(DecodeDescriptor(bytes.data(), bytes.size(), &back));
  ASSERT_EQ(back.items.size(), 3u);
  EXPECT_EQ(back.items[0].integer, -7);
  EXPECT_EQ(back.items[1].number, 1.0 / 3.0);
  EXPECT_EQ(back.items[2].bytes, c.bytes);
  for (size_t cut = 0; cut < bytes.size(); ++cut) EXPECT_FALSE(DecodeDescriptor(bytes.data(), cut, &back)) << cut;
  std::vector<uint8_t> longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(DecodeDescriptor(longer.data(), longer.size(), &back));
}

TEST(HostDescriptor, FinishRecordsAndRepeatPlaysBack) {
  std::vector<DescriptorKeyID> keysSeen;
  int32_t pinned = 0, plain = 0;
  double x = 0;
  std::vector<uint8_t> text;
  uint8_t name[256] = {};
  OSErr wrongType = 0, closeAnswer = 1;
  int16_t playInfo = -1;
  bool readerOpened = false;
  ScriptedHost s([&](int16_t selector, void* record, intptr_t*, int16_t*) {
    FilterRecord* r = AsFilter(record);
    PIDescriptorParameters* p = r->descriptorParameters;
    ASSERT_NE(p, nullptr);
    if (selector == FilterSelectorStart) {
      playInfo = p->playInfo;
      ReadDescriptorProcs* rp = p->readDescriptorProcs;
      DescriptorKeyID expected[] = {KeySize, KeyX, KeyMaps, KeyName, KeyAbsent, 0};
      PIReadDescriptor rd = rp->openReadDescriptorProc(p->descriptor, expected);
      readerOpened = rd != nullptr;
      if (!rd) return;
      DescriptorKeyID key;
      DescriptorTypeID type;
      int32_t flags;
      while (rp->getKeyProc(rd, &key, &type, &flags)) {
        keysSeen.push_back(key);
        if (key == KeySize) {
          rp->getPinnedIntegerProc(rd, 0, 250, &pinned);
          rp->getIntegerProc(rd, &plain);
          double d;
          wrongType = rp->getFloatProc(rd, &d);
        } else if (key == KeyX) {
          rp->getFloatProc(rd, &x);
        } else if (key == KeyMaps) {
          Handle h = nullptr;
          ASSERT_EQ(rp->getTextProc(rd, &h), 0);
          text.assign(*h, *h + r->handleProcs->getSizeProc(h));
          r->handleProcs->disposeProc(h);
        } else if (key == KeyName) {
          rp->getStringProc(rd, reinterpret_cast<Str255*>(name));
        }
      }
      closeAnswer = rp->closeReadDescriptorProc(rd);
      r->handleProcs->disposeProc(p->descriptor);
      p->descriptor = nullptr;
    } else if (selector == FilterSelectorFinish) {
      WriteStyle(r);
    }
  });
  RunReport menu = RunMenu(s.host);
  EXPECT_FALSE(readerOpened);  // a menu run offers no descriptor
  EXPECT_EQ(playInfo, PlayDisplay);
  ASSERT_TRUE(menu.descriptorWritten);
  ASSERT_EQ(menu.descriptor.items.size(), 4u);
  EXPECT_EQ(menu.strayHandles, 0);  // the block's descriptor went back to the host

  RunReport repeat = RunRepeat(s.host);
  EXPECT_TRUE(readerOpened);
  EXPECT_EQ(playInfo, PlayDontDisplay);
  EXPECT_EQ(keysSeen, (std::vector<DescriptorKeyID>{KeySize, KeyX, KeyMaps, KeyName}));
  EXPECT_EQ(pinned, 250);
  EXPECT_EQ(plain, 400);
  EXPECT_NE(wrongType, 0);
  EXPECT_EQ(x, -0.25);
  EXPECT_EQ(text, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(name[0], 3);
  EXPECT_EQ(std::memcmp(name + 1, "abc", 3), 0);
  EXPECT_EQ(closeAnswer, HostErrMissingParameter);  // 'nonE' was expected but never written
  EXPECT_EQ(repeat.descriptorKeysAsked.size(), 5u);
  EXPECT_EQ(repeat.strayHandles, 0);
  EXPECT_EQ(repeat.misuse, 0);
}

TEST(HostDescriptor, PlaybackOfAGivenStoreAndCompleteRead) {
  OSErr closeAnswer = 1;
  ScriptedHost s([&](int16_t, void* record, intptr_t*, int16_t*) {
    PIDescriptorParameters* p = AsFilter(record)->descriptorParameters;
    DescriptorKeyID expected[] = {KeySize, 0};
    PIReadDescriptor rd = p->readDescriptorProcs->openReadDescriptorProc(p->descriptor, expected);
    ASSERT_NE(rd, nullptr);
    closeAnswer = p->readDescriptorProcs->closeReadDescriptorProc(rd);
  });
  HostOptions& o = HostOptionsOf(s.host);
  o.hasPlayback = true;
  DescriptorItem item;
  item.key = KeySize;
  item.type = TypeInteger;
  o.playback.items.push_back(item);
  RunReport r = CallSelector(s.host, FilterSelectorStart);
  EXPECT_EQ(closeAnswer, 0);
  EXPECT_EQ(r.liveHandles, 0);  // the offered descriptor is the host's again after the call
}

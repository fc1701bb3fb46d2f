#include "net/net_value.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(NetValue, SetMarksDirtyOnlyForRealChangesAndOnlyWhenChangesAreSent) {
  NetControl control;
  NetValue<int> v(control);
  v.init(20, 3);
  EXPECT_FALSE(v.isDirty());  // init does not mark
  v.set(3);
  EXPECT_FALSE(v.isDirty());
  EXPECT_EQ(v.set(4), 4);
  EXPECT_TRUE(v.isDirty());

  NetValue<float> receiveOnly(control);
  receiveOnly.setFlags(kNetAcceptReceived);
  receiveOnly.set(2.5f);
  EXPECT_EQ(receiveOnly.get(), 2.5f);
  EXPECT_FALSE(receiveOnly.isDirty());

  NetValue<Position3> p(control);
  p.assign({1, 2, 3});
  p.commit();
  p.assign({1, 2, 3});
  EXPECT_FALSE(p.isDirty());
  p.assign({1, 2, 3.5f});  // z alone differs
  EXPECT_TRUE(p.isDirty());
}

TEST(NetValue, AMatrixDifferingInOneByteOfOneElementIsDirty) {
  NetControl control;
  NetValue<Matrix4x3> m(control);
  // -0 equals 0 as a float but differs in its sign byte.
  Matrix4x3 changed = m.get();
  changed.m[7] = -0.0f;
  m.set(changed);
  EXPECT_TRUE(m.isDirty());
}

TEST(NetValue, CommitTakesReceivedDataOnlyWhenAccepted) {
  NetControl control;
  NetValue<int> both(control), sendOnly(control);
  sendOnly.setFlags(kNetSendChanges);
  const std::uint8_t seven[4] = {7, 0, 0, 0};
  EXPECT_TRUE(both.setReceived(seven, 4));
  EXPECT_TRUE(sendOnly.setReceived(seven, 4));
  EXPECT_EQ(both.get(), 0);  // not before the commit
  both.commit();
  sendOnly.commit();
  EXPECT_EQ(both.get(), 7);
  EXPECT_EQ(sendOnly.get(), 0);
  both.set(1);
  both.commit();  // nothing received this time: the local value stays
  EXPECT_EQ(both.get(), 1);
}

TEST(NetValue, ReceivedPayloadsOfAnotherSizeAreRefusedAndBoolsStayBools) {
  NetControl control;
  NetValue<Position3> p(control);
  const std::uint8_t big[16] = {0, 0, 0x80, 0x3F};
  EXPECT_FALSE(p.setReceived(big, 16));
  EXPECT_FALSE(p.setReceived(big, 11));
  p.commit();
  EXPECT_EQ(p.get().x, 0.0f);

  NetValue<bool> b(control);
  const std::uint8_t odd = 0x5A;
  ASSERT_TRUE(b.setReceived(&odd, 1));
  b.commit();
  EXPECT_TRUE(b.get());
  std::uint8_t wire = 0;
  b.writeWire(&wire);
  EXPECT_EQ(wire, 1);
}

TEST(NetValue, APayloadItsCheckRefusesIsDroppedAndKeepsWhatCameBefore) {
  NetControl control;
  NetValue<float> v(control);
  v.init(40, 1.0f);
  v.setReceiveCheck([](const float& f) { return f >= 0.0f; });
  std::uint8_t two[4], negative[4];
  NetWire<float>::write(2.0f, two);
  NetWire<float>::write(-3.0f, negative);
  // A good payload, then a refused one in the same frame: the good stays.
  ASSERT_TRUE(v.setReceived(two, 4));
  EXPECT_FALSE(v.setReceived(negative, 4));
  v.commit();
  EXPECT_EQ(v.get(), 2.0f);
  // Refused alone: nothing was received, the value stays.
  EXPECT_FALSE(v.setReceived(negative, 4));
  v.commit();
  EXPECT_EQ(v.get(), 2.0f);
  // The check is on what arrives, not on what the owner sets.
  v.set(-5.0f);
  EXPECT_EQ(v.get(), -5.0f);
}

TEST(NetValue, WireFormIsLittleEndianFieldByField) {
  NetControl control;
  NetValue<int> i(control);
  i.set(0x01020304);
  std::uint8_t out[4];
  i.writeWire(out);
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[3], 1);
  NetValue<Normal3> n(control);
  n.set({0, 1, 0});
  std::uint8_t xyz[12];
  n.writeWire(xyz);
  const std::uint8_t one[4] = {0, 0, 0x80, 0x3F};
  EXPECT_EQ(std::memcmp(xyz + 4, one, 4), 0);
  EXPECT_EQ(n.size(), 12);
}

TEST(NetValue, ModifyMarksDirtyEvenWhenNothingIsWritten) {
  NetControl control;
  NetValue<Position3> record(control);
  record.modify();
  EXPECT_TRUE(record.isDirty());
  record.commit();
  record.setFlags(kNetAcceptReceived);
  record.modify()->x = 4;
  EXPECT_FALSE(record.isDirty());
  EXPECT_EQ(record.get().x, 4);
}

TEST(NetValue, DestroyingAValueUnregistersExactlyThatOne) {
  NetControl control;
  NetValue<int> a(control);
  auto b = std::make_unique<NetValue<int>>(control);
  NetValue<int> c(control);
  a.init(100);
  c.init(102);
  // b shares id -1 with nothing else registered under an id; identity decides.
  b.reset();
  EXPECT_EQ(control.getValueId(100), &a);
  EXPECT_EQ(control.getValueId(102), &c);
  EXPECT_EQ(control.getValueId(-1), nullptr);
}

}  // namespace

#include "ole/ole_guid_extractor.h"

#include <gtest/gtest.h>

namespace {

TEST(ole_guid_extractor, finds_a_tagged_guid) {
  const ole_guid_extractor braced(u"  guid{6F9619FF-8B86-D011-B42D-00C04FC964FF} ");
  ASSERT_TRUE(braced.found());
  EXPECT_EQ(braced.position(), 5);
  EXPECT_EQ(braced.guid(), u"6F9619FF-8B86-D011-B42D-00C04FC964FF}");
  const ole_guid_extractor upper(u"GUID 6f9619ff-8b86-d011-b42d-00c04fc964ff");
  ASSERT_TRUE(upper.found());
  EXPECT_EQ(upper.guid(), u"6f9619ff-8b86-d011-b42d-00c04fc964ff");
}

TEST(ole_guid_extractor, leaves_other_text_alone) {
  // Ordinary text of a GUID's length is not a GUID, with or without the word.
  for (const char16_t* text :
       {u"6F9619FF-8B86-D011-B42D-00C04FC964F", u"Forty characters of plain text, no tag!!",
        u"guid: forty characters but no guid here", u"{6F9619FF-8B86-D011-B42D-00C04FC964FF}",
        u"guid{6F9619FF-8B86-D011-B42D-00C04FC964FF} and more text after it"}) {
    const ole_guid_extractor e(text);
    EXPECT_FALSE(e.found()) << static_cast<int>(std::u16string_view(text).size());
    EXPECT_EQ(e.guid(), u"");
    EXPECT_EQ(e.position(), -1);
  }
}

}  // namespace

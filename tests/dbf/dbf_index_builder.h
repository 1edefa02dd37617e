#pragma once

// Index files made byte by byte from the published layouts the readers follow, for tests that
// have no real file of a kind or need a damaged one.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "dbf_test_util.h"

struct dbf_test_index_tag {
  std::string name;
  std::string key;
  std::string filter;
  std::uint8_t options = 0;  // compact (FoxPro) options; unique and FOR bits are added
  bool unique = false;
  bool descending = false;
};

// A compact tag header and its expression pool: 1024 bytes.
inline std::string dbf_make_compact_header(const dbf_test_index_tag& tag, std::uint32_t root,
                                           std::uint8_t extra_options = 0) {
  std::string h(1024, '\0');
  dbf_put_le(h, 0, root, 4);
  dbf_put_le(h, 4, 0xFFFFFFFF, 4);
  dbf_put_le(h, 12, 10, 2);
  std::uint8_t options = 0x20 | tag.options | extra_options;
  if (tag.unique) options |= 0x01;
  if (!tag.filter.empty()) options |= 0x08;
  h[14] = static_cast<char>(options);
  h[15] = 1;
  dbf_put_le(h, 502, tag.descending ? 1 : 0, 2);
  const std::size_t key_length = tag.key.size() + 1;
  const std::size_t for_length = tag.filter.size() + 1;
  dbf_put_le(h, 504, key_length, 2);
  dbf_put_le(h, 506, for_length, 2);
  dbf_put_le(h, 508, 0, 2);
  dbf_put_le(h, 510, key_length, 2);
  h.replace(512, tag.key.size(), tag.key);
  h.replace(512 + key_length, tag.filter.size(), tag.filter);
  return h;
}

// One compact exterior node holding `keys` (already in order) with their record numbers,
// duplicate and trailing bytes compressed as FoxPro does: 16 record bits, 4 + 4 count bits.
inline std::string dbf_make_compact_leaf(
    const std::vector<std::pair<std::string, std::uint32_t>>& keys, std::size_t key_length,
    std::uint16_t attributes, std::uint32_t left, std::uint32_t right) {
  std::string n(512, '\0');
  dbf_put_le(n, 0, attributes, 2);
  dbf_put_le(n, 2, keys.size(), 2);
  dbf_put_le(n, 4, left, 4);
  dbf_put_le(n, 8, right, 4);
  dbf_put_le(n, 14, 0xFFFF, 4);
  n[18] = 0x0F;
  n[19] = 0x0F;
  n[20] = 16;
  n[21] = 4;
  n[22] = 4;
  n[23] = 3;
  std::size_t back = 512;
  std::string previous;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::string key = keys[i].first;
    key.resize(key_length, ' ');
    std::size_t dup = 0;
    while (dup < previous.size() && dup < 15 && previous[dup] == key[dup]) ++dup;
    std::size_t trail = 0;
    while (trail < 15 && trail + dup < key_length && key[key_length - 1 - trail] == ' ') ++trail;
    const std::size_t stored = key_length - dup - trail;
    back -= stored;
    n.replace(back, stored, key.substr(dup, stored));
    const std::uint32_t packed = keys[i].second | static_cast<std::uint32_t>(dup) << 16 |
                                 static_cast<std::uint32_t>(trail) << 20;
    dbf_put_le(n, 24 + 3 * i, packed, 3);
    previous = key;
  }
  dbf_put_le(n, 12, back - 24 - 3 * keys.size(), 2);
  return n;
}

// A compound index: file header, tag directory (one leaf per `per_leaf` tags under an interior
// root when there is more than one leaf), each tag's header and one empty leaf as its root.
// Tags are given in name order.
inline std::string dbf_make_cdx(const std::vector<dbf_test_index_tag>& tags,
                                std::size_t per_leaf = 64) {
  const std::size_t leaves = std::max<std::size_t>(1, (tags.size() + per_leaf - 1) / per_leaf);
  const bool interior = leaves > 1;
  const std::uint32_t root = 1024;
  const std::uint32_t first_leaf = interior ? 1536 : 1024;
  const std::uint32_t first_tag = first_leaf + 512 * static_cast<std::uint32_t>(leaves);
  const auto tag_at = [&](std::size_t i) {
    return first_tag + 1536 * static_cast<std::uint32_t>(i);
  };

  dbf_test_index_tag directory{"", "", "", 0xC0};
  std::string file = dbf_make_compact_header(directory, root);
  file.replace(512, 512, std::string(512, '\0'));
  dbf_put_le(file, 504, 1, 2);
  dbf_put_le(file, 506, 1, 2);
  dbf_put_le(file, 510, 1, 2);
  if (interior) {
    std::string node(512, '\0');
    dbf_put_le(node, 0, 1, 2);
    dbf_put_le(node, 2, leaves, 2);
    dbf_put_le(node, 4, 0xFFFFFFFF, 4);
    dbf_put_le(node, 8, 0xFFFFFFFF, 4);
    for (std::size_t l = 0; l < leaves; ++l) {
      const std::size_t last = std::min(tags.size(), (l + 1) * per_leaf) - 1;
      std::string key = tags[last].name;
      key.resize(10, ' ');
      const std::size_t at = 12 + l * 18;
      node.replace(at, 10, key);
      dbf_put_be(node, at + 10, tag_at(last), 4);
      dbf_put_be(node, at + 14, first_leaf + 512 * l, 4);
    }
    file += node;
  }
  for (std::size_t l = 0; l < leaves; ++l) {
    std::vector<std::pair<std::string, std::uint32_t>> keys;
    for (std::size_t i = l * per_leaf; i < std::min(tags.size(), (l + 1) * per_leaf); ++i)
      keys.emplace_back(tags[i].name, tag_at(i));
    const std::uint32_t left = l == 0 ? 0xFFFFFFFF : first_leaf + 512 * (l - 1);
    const std::uint32_t right = l + 1 == leaves ? 0xFFFFFFFF : first_leaf + 512 * (l + 1);
    file += dbf_make_compact_leaf(keys, 10, interior ? 2 : 3, left, right);
  }
  for (std::size_t i = 0; i < tags.size(); ++i) {
    file += dbf_make_compact_header(tags[i], tag_at(i) + 1024);
    file += dbf_make_compact_leaf({}, 10, 3, 0xFFFFFFFF, 0xFFFFFFFF);
  }
  return file;
}

// A compact single-tag index: the tag's header at 0 and an empty root leaf.
inline std::string dbf_make_compact_idx(const dbf_test_index_tag& tag) {
  return dbf_make_compact_header(tag, 1024) +
         dbf_make_compact_leaf({}, 10, 3, 0xFFFFFFFF, 0xFFFFFFFF);
}

// An original FoxBASE/FoxPro single-tag index: 512-byte header and an empty root node.
inline std::string dbf_make_plain_idx(const dbf_test_index_tag& tag) {
  std::string f(1024, '\0');
  dbf_put_le(f, 0, 512, 4);
  dbf_put_le(f, 4, 0xFFFFFFFF, 4);
  dbf_put_le(f, 8, 1024, 4);
  dbf_put_le(f, 12, 10, 2);
  f[14] = static_cast<char>((tag.unique ? 0x01 : 0) | (tag.filter.empty() ? 0 : 0x08));
  f.replace(16, tag.key.size(), tag.key);
  f.replace(236, tag.filter.size(), tag.filter);
  dbf_put_le(f, 512, 3, 2);  // root and leaf, no keys
  return f;
}

// A dBase IV multiple index: header page and tag table (pages 0-3), then per tag a two-page
// header and a root page.
inline std::string dbf_make_mdx(const std::vector<dbf_test_index_tag>& tags) {
  std::string f(2048, '\0');
  f[0] = 2;
  f.replace(4, 5, "TABLE");
  dbf_put_le(f, 20, 2, 2);
  dbf_put_le(f, 22, 1024, 2);
  f[24] = 1;
  f[25] = 48;
  f[26] = 32;
  dbf_put_le(f, 28, tags.size(), 2);
  dbf_put_le(f, 32, 4 + 3 * tags.size(), 4);
  for (std::size_t i = 0; i < tags.size(); ++i) {
    const std::uint32_t page = 4 + 3 * static_cast<std::uint32_t>(i);
    const std::size_t at = 544 + 32 * i;
    dbf_put_le(f, at, page, 4);
    f.replace(at + 4, std::min<std::size_t>(tags[i].name.size(), 10), tags[i].name);
    f[at + 15] = 0x10;
    f[at + 20] = 'C';
    std::string h(1536, '\0');
    dbf_put_le(h, 0, page + 2, 4);
    dbf_put_le(h, 4, 3, 4);
    h[8] = static_cast<char>(0x10 | (tags[i].descending ? 0x08 : 0) | (tags[i].unique ? 0x40 : 0));
    h[9] = 'C';
    dbf_put_le(h, 12, 10, 2);
    dbf_put_le(h, 14, 60, 2);
    dbf_put_le(h, 18, 16, 2);
    h[23] = tags[i].unique ? 1 : 0;
    h.replace(24, tags[i].key.size(), tags[i].key);
    h[245] = tags[i].filter.empty() ? 0 : 1;
    h.replace(762, tags[i].filter.size(), tags[i].filter);
    f += h;
  }
  return f;
}

// A dBase III index: anchor page and an empty root page.
inline std::string dbf_make_ndx(const dbf_test_index_tag& tag) {
  std::string f(1024, '\0');
  dbf_put_le(f, 0, 1, 4);
  dbf_put_le(f, 4, 2, 4);
  dbf_put_le(f, 12, 10, 2);
  dbf_put_le(f, 14, 24, 2);
  dbf_put_le(f, 18, 20, 4);
  f[23] = tag.unique ? 1 : 0;
  f.replace(24, tag.key.size(), tag.key);
  return f;
}

// A Clipper 5 index: header page and an empty root page.
inline std::string dbf_make_ntx(const dbf_test_index_tag& tag) {
  std::string f(2048, '\0');
  dbf_put_le(f, 0, tag.filter.empty() ? 6 : 7, 2);
  dbf_put_le(f, 2, 1, 2);
  dbf_put_le(f, 4, 1024, 4);
  dbf_put_le(f, 12, 18, 2);
  dbf_put_le(f, 14, 10, 2);
  dbf_put_le(f, 18, 50, 2);
  dbf_put_le(f, 20, 25, 2);
  f.replace(22, tag.key.size(), tag.key);
  f[278] = tag.unique ? 1 : 0;
  f[280] = tag.descending ? 1 : 0;
  f.replace(282, tag.filter.size(), tag.filter);
  return f;
}

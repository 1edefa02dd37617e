// Creation order of translated views: a view is created after the views it reads.

#include <algorithm>

#include "mss/mss_names.h"
#include "mss/mss_vfp_view.h"
#include "tk/tk_string.h"

std::vector<std::size_t> mss_view_order(const std::vector<mss_view_translation>& views,
                                        const std::vector<std::u16string>& view_names) {
  const std::size_t n = std::min(views.size(), view_names.size());
  // needs[i]: the other views view i reads; names compared in bracketed form, case ignored.
  std::vector<std::vector<std::size_t>> needs(views.size());
  for (std::size_t i = 0; i < n; ++i)
    for (const std::u16string& used : views[i].uses)
      for (std::size_t j = 0; j < n; ++j)
        if (j != i && tk_equal_nocase(mss_quote_name(used), mss_quote_name(view_names[j])))
          needs[i].push_back(j);
  std::vector<std::size_t> order;
  std::vector<bool> placed(views.size(), false);
  // Each round places the first view whose needs are met, so independent views keep their
  // input order; when none is ready (a cycle) the rest follow in input order.
  while (order.size() < views.size()) {
    std::size_t ready = views.size();
    for (std::size_t i = 0; i < views.size() && ready == views.size(); ++i)
      if (!placed[i] &&
          std::all_of(needs[i].begin(), needs[i].end(), [&](std::size_t j) { return placed[j]; }))
        ready = i;
    if (ready == views.size()) {
      for (std::size_t i = 0; i < views.size(); ++i)
        if (!placed[i]) order.push_back(i);
      break;
    }
    placed[ready] = true;
    order.push_back(ready);
  }
  return order;
}

#pragma once
// The further pages of a table of contents that numbers its pages instead of linking "下一页": the options of a
// page menu (<select>) and the links named by a bare page number ("1 2 3 … 18").
#include <string>
#include <string_view>
#include <vector>

namespace lekto {

struct NumberedTocPage {
  long number = 0;  // the page's number: the link's text, or the last number of the option's address
  std::string address;
};

// The address of page `number` + 1 that `page` (page `number`, read at `pageAddress`) names, resolved as the rows
// are; empty when it names none. A page menu counts when its options are written as addresses on the same site;
// numbered links count in the biggest group of one address shape that holds the page. A group that leads to a row
// of `rowLinks` (the rows that say they are chapters), or holds more than a hundred numbers, is a list of chapters.
std::string NextNumberedTocPage(std::string_view page, const std::string& pageAddress, const std::string& tocAddress,
                                const std::string& siteRoot, const std::vector<std::string>& rowLinks, long number);

}  // namespace lekto

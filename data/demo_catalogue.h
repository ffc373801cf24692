#pragma once
// The fixed vocabulary of the demo data: product types and groups with their sizes,
// grades and standards, regions and cities, invented suppliers and their sites.

#include <vector>

namespace demodata::catalogue {

// One product group and the parts its position names are built from:
// prefix, size, grade, standard and length, each part optional except the prefix.
struct Group {
    const char* name;
    int weight;               // relative share of the positions
    double priceLo, priceHi;  // roubles per tonne, before a supplier's mark-up
    const char* prefix;       // how a position name starts
    const char* abbrev;       // how suppliers shorten the prefix
    std::vector<const char*> sizes;
    std::vector<const char*> grades;
    std::vector<const char*> standards;
    std::vector<const char*> lengths;
    const char* hero = nullptr;  // a best-selling position that gets about 200 offers
};

struct Type {
    const char* name;
    std::vector<Group> groups;
};

struct Region {
    const char* name;
    std::vector<const char*> cities;
};

const std::vector<Type>& types();
const std::vector<Region>& regions();
const std::vector<const char*>& organizations();
const std::vector<const char*>& sites();
// Extra words that tell positions of the same size and grade apart.
const std::vector<const char*>& conditions();

}  // namespace demodata::catalogue

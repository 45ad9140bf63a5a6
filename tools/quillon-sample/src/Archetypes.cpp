#include "Archetypes.h"

#include <stdexcept>

namespace qln::sample {

using K = LayerKind;

const std::vector<Archetype>& archetypes()
{
    static const std::vector<Archetype> list = {
        {"loess-upland", 2, "B", "No", {18, 30, 22}, {6, 5, 8}, 2.8, {6.2, 5.7, 6.6}, 999, 0, 0,
         nullptr, 0, 0, "BCDE", "Alfisols", "Typic Hapludalfs", "Fine-silty", "loess hills",
         {{"Ap", "A", 18, 25, K::Surface},
          {"E", "E", 5, 12, K::Eluvial, 0.6},
          {"Bt1", "B", 20, 35, K::Subsoil},
          {"Bt2", "B", 25, 40, K::Subsoil},
          {"BC", "B", 15, 25, K::Transition},
          {"C", "C", 0, 0, K::Substratum}},
         false, false},
        {"till-plain", 3, "C", "No", {22, 34, 27}, {25, 22, 32}, 3.2, {6.4, 6.8, 7.8}, 70, 0, 0,
         "Densic material", 85, 120, "ABC", "Alfisols", "Aquic Hapludalfs", "Fine-loamy",
         "ground moraines",
         {{"Ap", "A", 18, 23, K::Surface},
          {"Bt1", "B", 15, 30, K::Subsoil},
          {"Bt2", "B", 20, 35, K::Subsoil},
          {"BC", "B", 10, 20, K::Transition, 0.7},
          {"Cd", "C", 0, 0, K::Substratum}},
         true, false},
        {"seasonally-wet", 4, "C/D", "No", {24, 32, 28}, {15, 12, 18}, 3.8, {6.0, 6.3, 7.4}, 35, 0,
         0, nullptr, 0, 0, "AB", "Alfisols", "Aeric Epiaqualfs", "Fine-silty", "till plains",
         {{"Ap", "A", 20, 25, K::Surface},
          {"Btg1", "B", 20, 30, K::Subsoil},
          {"Btg2", "B", 25, 40, K::Subsoil},
          {"Cg", "C", 0, 0, K::Substratum}},
         false, false},
        {"depression", 5, "C/D", "Yes", {30, 34, 30}, {8, 8, 12}, 6.0, {6.6, 6.9, 7.5}, 0, 0, 3,
         nullptr, 0, 0, "A", "Mollisols", "Typic Endoaquolls", "Fine-silty", "depressions",
         {{"Ap", "A", 18, 23, K::Surface},
          {"A", "A", 15, 30, K::Surface},
          {"Bg1", "B", 20, 30, K::Subsoil},
          {"Bg2", "B", 20, 35, K::Subsoil},
          {"Cg", "C", 0, 0, K::Substratum}},
         false, false},
        {"organic", 6, "A/D", "Yes", {0, 0, 15}, {0, 0, 40}, 55.0, {5.4, 5.6, 6.8}, 0, 0, 2,
         nullptr, 0, 0, "A", "Histosols", "Typic Haplosaprists", nullptr, "bogs",
         {{"Oa1", "O", 20, 30, K::Organic},
          {"Oa2", "O", 30, 50, K::Organic},
          {"Oa3", "O", 30, 60, K::Organic, 0.7},
          {"Cg", "C", 0, 0, K::Substratum}},
         false, false},
        {"outwash-sand", 0, "A", "No", {6, 4, 2}, {82, 88, 93}, 1.2, {5.6, 5.8, 6.2}, 999, 0, 0,
         nullptr, 0, 0, "ABCDE", "Entisols", "Typic Udipsamments", nullptr, "outwash plains",
         {{"Ap", "A", 15, 25, K::Surface},
          {"Bw", "B", 25, 45, K::Subsoil},
          {"C1", "C", 30, 50, K::Substratum},
          {"C2", "C", 0, 0, K::Substratum}},
         false, false},
        {"shallow-bedrock", 2, "D", "No", {20, 24, 24}, {35, 38, 38}, 2.5, {6.0, 6.2, 6.2}, 999,
         0, 0, "Lithic bedrock", 25, 50, "CDEF", "Inceptisols", "Lithic Eutrudepts",
         "Loamy-skeletal", "hillslopes",
         {{"A", "A", 8, 15, K::Surface},
          {"Bw1", "B", 10, 20, K::Subsoil},
          {"Bw2", "B", 10, 20, K::Subsoil, 0.5}},
         false, false},
        {"floodplain", 3, "B", "No", {20, 18, 14}, {20, 30, 40}, 2.6, {6.8, 7.0, 7.4}, 90, 3, 0,
         nullptr, 0, 0, "A", "Entisols", "Mollic Udifluvents", "Fine-loamy", "flood plains",
         {{"Ap", "A", 20, 28, K::Surface},
          {"C1", "C", 20, 40, K::Substratum},
          {"C2", "C", 20, 40, K::Substratum},
          {"Ab", "A", 10, 20, K::Buried, 0.5},
          {"C3", "C", 0, 0, K::Substratum}},
         false, false},
        {"calcareous-lowland", 4, "C", "No", {28, 30, 26}, {20, 22, 26}, 4.5, {7.9, 8.3, 8.6}, 45,
         0, 1, nullptr, 0, 0, "A", "Mollisols", "Typic Calciaquolls", "Fine-loamy",
         "lake plains",
         {{"Ap", "A", 18, 25, K::Surface},
          {"Bk1", "B", 15, 30, K::Calcic},
          {"Bk2", "B", 20, 35, K::Calcic},
          {"Ck", "C", 0, 0, K::Substratum}},
         true, true},
        {"acid-forest", 2, "B", "No", {8, 12, 8}, {55, 60, 70}, 5.0, {4.2, 4.8, 5.2}, 999, 0, 0,
         "Paralithic bedrock", 100, 150, "BCDE", "Spodosols", "Typic Haplorthods",
         "Coarse-loamy", "moraines",
         {{"A", "A", 5, 10, K::Surface},
          {"E", "E", 5, 15, K::Eluvial},
          {"Bhs", "B", 8, 15, K::Subsoil},
          {"Bs", "B", 20, 40, K::Subsoil},
          {"C", "C", 0, 0, K::Substratum}},
         false, false},
    };
    return list;
}

const SlopeClass& slopeClass(char letter)
{
    static const std::vector<SlopeClass> classes = {
        {'A', 0, 2}, {'B', 2, 5}, {'C', 5, 10}, {'D', 10, 15}, {'E', 15, 25}, {'F', 25, 45}};
    for (const auto& c : classes)
        if (c.letter == letter)
            return c;
    throw std::logic_error(std::string("no slope class ") + letter);
}

} // namespace qln::sample

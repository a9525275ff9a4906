// Population simulation behind each bootstrap replicate: an age-structured
// population of fixed class sizes with pedigree and Mendelian inheritance,
// and the sample drawn from it.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "estimation/age_variables.h"

namespace estimation {

// Members of one sex. A member lives in a slot; the slot of a member that
// dies is reused by a newborn of the same sex. Numbers count from 1 over the
// whole run of one simulation (founders first); 0 means "no such individual"
// (the parents and grandparents of founders).
struct SimuSexPool {
  std::vector<int> Number;                 // [slot]
  std::vector<std::array<int, 2>> Parent;  // [slot] father, mother numbers
  std::vector<std::array<int, 4>> Grand;   // [slot] father's father, father's mother,
                                           //        mother's father, mother's mother
  std::vector<int> Allele;                 // [slot * 2 * NumLoci + 2 * (l - 1) + a - 1]
  std::vector<std::vector<int>> Class;     // [age 0..K] slots of the members of that age
};

// The population of the last simulated year (ages 0..NumAgeClass(s) per sex).
// At a dominant locus the alleles are 1 (dominant) and 2 (recessive);
// at a codominant locus they are allele indices of ObsAlleleFre; 0 at a locus
// that nobody was typed at.
struct SimuPopulation {
  std::array<SimuSexPool, 3> Sex;  // [1] males, [2] females
  int NumFounders = 0;             // members numbered 1..NumFounders are founders
  int NumYears = 0;                // years of births simulated
  int NumLoci = 0;
  const int* Alleles(int s, int slot) const {
    return &Sex[s].Allele[static_cast<std::size_t>(slot) * 2 * static_cast<std::size_t>(NumLoci)];
  }
};

// The sample of one replicate, in the order drawn, 1-based.
struct SimuSample {
  int NumLoci = 0;
  std::vector<int> Number;  // member number of each sampled individual
  std::vector<int> Sex, Age;
  std::vector<int> Slot;    // slot in the population pool of its sex
  // Genotype codes as written: codominant two allele indices, dominant the
  // phenotype (1 dominant, 2 recessive) in both slots; 0 when untyped.
  std::vector<int> Gtype;   // [(i - 1) * 2 * NumLoci + 2 * (l - 1) + a - 1]
  int Code(int a, int l, int i) const {
    return Gtype[static_cast<std::size_t>(i - 1) * 2 * static_cast<std::size_t>(NumLoci) +
                 2 * static_cast<std::size_t>(l - 1) + static_cast<std::size_t>(a - 1)];
  }
};

// Years of births after the founders: enough that every member of the last
// year has simulated parents and grandparents.
int BurnInYears(int MaxNumAgeClass);

// Uniform whole number 0..n-1 from a uniform u in (0, 1).
int UniformIndex(double u, int n);

// The first (sex, age) cell, males ages 0..NumAgeClass(1) then females,
// whose SampleFre is strictly greater than u; {0, 0} when there is none.
std::array<int, 2> PickSampleCell(const Table2<double>& SampleFre,
                                  const std::array<int, 3>& NumAgeClass, double u);

// Recessive-allele frequency of a dominant locus from the share of the
// recessive phenotype under random mating: q = sqrt(share).
double RecessiveAlleleFre(double recessiveShare);

// Share of the recessive phenotype (code 2) among the typed individuals of a
// dominant locus, from the observed frequencies of the phenotype codes.
double RecessivePhenotypeShare(const AgeVariables& av, int l);

// Chance that one allele of a heterozygote drops out, from the dropout rate
// as the error model of the companion program reads it: d / (1 + d).
double AlleleDropoutChance(double dropRate);

// Builds a population from ReproductionRate, AgeClassSize, ObsAlleleFre and
// draws its sample of SmplSize distinct individuals by SampleFre; every draw
// comes from av.Rng in a fixed order. Typing errors, dropout and the observed
// share of untyped genotypes are applied to the sample.
void Simulate(AgeVariables& av, SimuPopulation& pop, SimuSample& sample);

}  // namespace estimation

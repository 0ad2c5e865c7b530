* Tavrin River 2025 test fisheries (first mixture), SPAM control file
print mixture: F
print baseline: F
number of stocks: 12
number of characters: 10
maximum # of iterations: 6000
random seed (any integer): 48271
second random seed: 1299709
maximum number of missing loci: 5
Baseline: tavrin_baseline.tal
Mixture: tavrin_mixture.mix
* characters used
 ID alleles kind name
1 18 locus Tav101
2 14 locus Tav104
3 22 locus Tav112
4 11 locus Tav119
5 16 locus Tav123
6 20 locus Tav131
7 13 locus Tav138
8 24 locus Tav142
9 10 locus Tav150
10 17 locus Tav157
* populations used
 ID name : region area
101 Kesh Creek : 1 1
102 Arlo Slough : 1 1
103 Bitter Creek : 1 1
204 Mainstem Lower : 2 1
205 Mainstem Middle : 2 1
206 Fenn River : 2 1
307 Canyon Creek : 3 2
308 Oriel River : 3 2
309 Stave Creek : 3 2
410 Lake Ammet : 4 2
411 Lake Sorrow : 4 2
412 Tarn Inlet : 4 2
* regions
 level id name
1 1 Coastal tributaries
1 2 Mainstem
1 3 Upper canyon
1 4 Headwater lakes
2 1 Lower river
2 2 Upper river
* end

*** SPAM control file: Fraser test mixture ***
print mixture: T
print baseline: F
number of stocks: 3
number of characters: 3
maximum # of iterations: 2000
random seed (odd, below 30000): 1357
second random seed: 2468
maximum number of missing loci: 1
Baseline: good_baseline.bse
Mixture: good_mixture.mix
Output: out

* characters used *
ID alleles kind name
1 12 locus Ots101
2 8 locus Ots102
\3 10 locus Ots103
4 15 other Sex

* populations used *
ID name : regions
3 Chilko Lake : 1 0 1
5 Stellako River : 1 0 2
\  7 Adams : 2 0 1
9 Shuswap : 2 0 2

* regions *
level id name
1 1 Fraser River
1 2 Thompson River
2 1 Early run
2 2 Late run

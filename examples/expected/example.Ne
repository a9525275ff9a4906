**********************************************************************
          Tavimorelund Analysis Results for Dataset Example
**********************************************************************
  Time  Started: D=10/12/2026 T=13/24/10
  Time Finished: D=10/12/2026 T=03/25/10

--------------------
1. Parameters
--------------------

                     Parameter          Males        Females
------------------------------------------------------------
                   Maximal Age              4              6
          Minimal Parental Age              1              2
    Assumed Family Size Distr.        Poisson        Poisson
  Number bootstrapping samples              5
                Number of Loci             15
    Parentage confidence level             90

----------------------
2. Summary statistics
----------------------

Number of individuals sampled in each sex-age class

      AgeClass         Males       Females
------------------------------------------
             0            57            56
             1            28            32
             2            29            26
             3            13            20
             4            15            14
             5                           4
             6                           6


Number of males & females of age class j (column 1) whose paternity is assigned to age class i (row 1)

  AgeClass     1     2     3     4
----------------------------------
         0     0     6     4     6
         1     0     4     2     2
         2     0     0     0     1
         3     0     0     0     0


Number of males & females of age class j (column 1) whose maternity is assigned to age class i (row 1)

  AgeClass     1     2     3     4     5     6
----------------------------------------------
         0     0     6     7     2     1     2
         1     0     0     0     0     0     0
         2     0     0     0     1     1     0
         3     0     0     0     0     0     0
         4     0     0     0     0     0     0
         5     0     0     0     0     0     0

Number of male parents of age class j (column 1) who each have i offspring assignments (row 1)

  AgeClass     0     1     2     3     4
----------------------------------------
         1    28     0     0     0     0
         2    20     8     1     0     0
         3     7     6     0     0     0
         4     9     5     0     0     1

Number of female parents of age class j (column 1) who each have i offspring assignments (row 1)

  AgeClass     0     1     2
----------------------------
         1    32     0     0
         2    21     4     1
         3    14     5     1
         4    11     3     0
         5     2     2     0
         6     4     2     0

--------------------
3. Estimates
--------------------

Estimates of generation effective size (Ne) & generation intervals (GI)

                      Ne          GI Paternal-GI Maternal-GI
------------------------------------------------------------
    Estimate         927        3.18        2.65        3.70
       CI95L         826        2.76        2.28        2.94
       CI95U        1542        3.70        2.86        4.78


Estimates of variances and covariances of lifetime family size

            Var(mm)    Var(mf) Cov(mm,mf)    Var(fm)    Var(ff) Cov(fm,ff)
--------------------------------------------------------------------------
Estimate       1.23       1.38       0.25       1.27       1.45       0.40
   CI95L       1.04       0.94       0.06       0.47       1.03       0.03
   CI95U       1.29       4.74       0.77       1.28       2.40       0.93

Estimates of parameter P
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1    0.0796    0.0646    0.1235    0.0000    0.0000    0.0000
       2    0.1660    0.1136    0.1757    0.1054    0.0314    0.2431
       3    0.1580    0.1183    0.1952    0.1430    0.0758    0.1673
       4    0.1149    0.0610    0.1880    0.0677    0.0000    0.1446
       5                                  0.0805    0.0000    0.1298
       6                                  0.0756    0.0218    0.2004

Estimates of parameter N
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1     185.3     126.4     358.5     204.4     110.6     539.4
       2     180.4     126.4     309.4     155.0     108.8     474.6
       3     123.6     105.7     300.0     147.7     108.4     285.3
       4      66.4      24.3     257.5     140.4     108.4     262.7
       5                                   129.0      48.4     194.6
       6                                    48.6      30.6     130.3

Estimates of parameter S
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1    0.1603    0.0687    0.2216    0.1569    0.0520    0.2989
       2    0.1689    0.1067    0.2295    0.1757    0.0674    0.2029
       3    0.0504    0.0367    0.0851    0.1401    0.0817    0.2220
       4    0.2594    0.0660    0.4121    0.1023    0.0423    0.1388
       5                                  0.0313    0.0000    0.0463
       6                                  0.0910    0.0898    0.1635

Estimates of parameter effective size of each age class
                      Males                        Females
          ---------------------------  ---------------------------
AgeClass       Est     CI95L     CI95U       Est     CI95L     CI95U
--------------------------------------------------------------------
       1     185.3     126.4     358.5     204.4     110.6     539.4
       2     180.4     126.4     309.4     155.0     108.8     474.6
       3     123.6     105.7     300.0     147.7     108.4     285.3
       4      66.4      24.3     257.5     140.4     108.4     262.7
       5                                   129.0      48.4     194.6
       6                                    48.6      30.6     130.3

-- PostgreSQL load script written by BEX (LOAD SCRIPT) for the tables unloaded in its
-- run. Run it with psql in this directory, into a database of encoding UTF8:
--   psql -d DATABASE -f loadall_pg.sql
-- Each table is created and loaded in a transaction of its own; the tables unloaded
-- in OUTPUT_STYLE CSV are loaded from their data and LOB files.

SET client_min_messages = warning;
-- Text as written: fields are copied as LATIN1, which keeps every byte.
CREATE FUNCTION pg_temp.bex_text(v text, enc name) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$SELECT convert_from(convert_to(v, 'LATIN1'), enc)$$;
-- Dates before year 1 are written with a minus sign.
CREATE FUNCTION pg_temp.bex_time(v text) RETURNS text LANGUAGE sql IMMUTABLE
  AS $$SELECT CASE WHEN v LIKE '-%' THEN substr(v, 2) || ' BC' ELSE NULLIF(v, '') END$$;
-- A LOB reference "file.offset.length/" (offset from 1, length -1 for NULL).
CREATE FUNCTION pg_temp.bex_blob(ref text, lob oid) RETURNS bytea LANGUAGE sql
  AS $$SELECT CASE WHEN m[2]::bigint >= 0 THEN lo_get(lob, m[1]::bigint - 1, m[2]::int) END
       FROM regexp_match(ref, '\.([0-9]+)\.(-?[0-9]+)/$') AS m$$;
-- Character LOB values without their NUL bytes, which text cannot hold.
CREATE FUNCTION pg_temp.bex_clob(ref text, lob oid, enc name) RETURNS text LANGUAGE plpgsql AS $$
DECLARE
  b bytea := pg_temp.bex_blob(ref, lob);
  r bytea := '';
  i int;
BEGIN
  IF b IS NULL THEN RETURN NULL; END IF;
  LOOP
    i := position('\x00'::bytea IN b);
    EXIT WHEN i = 0;
    r := r || substr(b, 1, i - 1);
    WHILE i <= length(b) AND get_byte(b, i - 1) = 0 LOOP i := i + 1; END LOOP;
    b := substr(b, i);
  END LOOP;
  RETURN convert_from(r || b, enc);
END $$;

-- APP.TEXTS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."texts" (
  "id" numeric NOT NULL,
  "v" varchar(200),
  "c" char(12),
  "n" varchar(60),
  "nc" char(6)
);
-- APP_TEXTS_75100.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text, "f4" text, "f5" text);
\copy bex_rows FROM PROGRAM 'tr -d ''\000'' < ''APP_TEXTS_75100.csv''' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."texts" ("id", "v", "c", "n", "nc")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK'),
         pg_temp.bex_text("f3", 'GBK'),
         pg_temp.bex_text("f4", 'GBK'),
         pg_temp.bex_text("f5", 'GBK')
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.KINDS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."kinds" (
  "id" numeric NOT NULL,
  "num" numeric,
  "num_ps" numeric(12,4),
  "flt" numeric,
  "bf" real,
  "bd" double precision,
  "d" timestamp(0),
  "ts" timestamp(6),
  "tstz" timestamptz(6),
  "tsltz" timestamp(3),
  "r" bytea,
  "rid" text,
  "iym" text,
  "ids" text,
  "ch" char(4),
  "vc" varchar(10)
);
-- APP_KINDS_75110.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text, "f4" text, "f5" text, "f6" text, "f7" text, "f8" text, "f9" text, "f10" text, "f11" text, "f12" text, "f13" text, "f14" text, "f15" text, "f16" text);
\copy bex_rows FROM 'APP_KINDS_75110.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."kinds" ("id", "num", "num_ps", "flt", "bf", "bd", "d", "ts", "tstz", "tsltz", "r", "rid", "iym", "ids", "ch", "vc")
  SELECT NULLIF("f1", '')::numeric,
         NULLIF("f2", '')::numeric,
         NULLIF("f3", '')::numeric,
         NULLIF("f4", '')::numeric,
         NULLIF("f5", '')::real,
         NULLIF("f6", '')::double precision,
         pg_temp.bex_time("f7")::timestamp,
         pg_temp.bex_time("f8")::timestamp,
         pg_temp.bex_time("f9")::timestamptz,
         pg_temp.bex_time("f10")::timestamp,
         decode("f11", 'hex'),
         "f12",
         "f13",
         "f14",
         pg_temp.bex_text("f15", 'GBK'),
         pg_temp.bex_text("f16", 'GBK')
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.LONGS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."longs" (
  "id" numeric NOT NULL,
  "l" text
);
-- APP_LONGS_75120.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text);
\copy bex_rows FROM 'APP_LONGS_75120.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."longs" ("id", "l")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK')
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.LONGRAWS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."longraws" (
  "id" numeric NOT NULL,
  "lr" bytea
);
-- APP_LONGRAWS_75125.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text);
\copy bex_rows FROM 'APP_LONGRAWS_75125.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."longraws" ("id", "lr")
  SELECT NULLIF("f1", '')::numeric,
         decode("f2", 'hex')
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.LOBS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."lobs" (
  "id" numeric NOT NULL,
  "cl" text,
  "bl" bytea,
  "ncl" text
);
-- APP_LOBS_75130.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text, "f4" text);
\copy bex_rows FROM 'APP_LOBS_75130.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
\lo_import 'APP_LOBS_75130.LOB'
\set bex_lob :LASTOID
INSERT INTO "app"."lobs" ("id", "cl", "bl", "ncl")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_clob("f2", :bex_lob, 'UTF8'),
         pg_temp.bex_blob("f3", :bex_lob),
         pg_temp.bex_clob("f4", :bex_lob, 'UTF8')
  FROM bex_rows;
\lo_unlink :bex_lob
DROP TABLE bex_rows;
COMMIT;

-- APP.PARTED
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."parted" (
  "id" numeric NOT NULL,
  "region" varchar(10),
  "amount" numeric(10,2)
);
-- APP_PARTED_75140_NODICT.csv
-- (not there: no rows were unloaded)
-- APP_PARTED_75141.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text);
\copy bex_rows FROM 'APP_PARTED_75141.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."parted" ("id", "region", "amount")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK'),
         NULLIF("f3", '')::numeric
  FROM bex_rows;
DROP TABLE bex_rows;
-- APP_PARTED_75142.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text);
\copy bex_rows FROM 'APP_PARTED_75142.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."parted" ("id", "region", "amount")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK'),
         NULLIF("f3", '')::numeric
  FROM bex_rows;
DROP TABLE bex_rows;
-- APP_PARTED_75143.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text);
\copy bex_rows FROM 'APP_PARTED_75143.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."parted" ("id", "region", "amount")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK'),
         NULLIF("f3", '')::numeric
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.ORDERS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."orders" (
  "order_id" numeric NOT NULL,
  "customer" varchar(30)
);
-- APP_ORDERS_75150.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text);
\copy bex_rows FROM 'APP_ORDERS_75150.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."orders" ("order_id", "customer")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK')
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.ITEMS
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."items" (
  "order_id" numeric NOT NULL,
  "item" varchar(20),
  "qty" numeric(5)
);
-- APP_ITEMS_75150.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text);
\copy bex_rows FROM 'APP_ITEMS_75150.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."items" ("order_id", "item", "qty")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK'),
         NULLIF("f3", '')::numeric
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

-- APP.BULK
BEGIN;
SET LOCAL client_encoding = 'GBK';
CREATE SCHEMA IF NOT EXISTS "app";
CREATE TABLE "app"."bulk" (
  "id" numeric NOT NULL,
  "name" varchar(40),
  "when" timestamp(0),
  "score" double precision,
  "tag" bytea
);
-- APP_BULK_75160.csv
CREATE TEMP TABLE bex_rows ("f1" text, "f2" text, "f3" text, "f4" text, "f5" text);
\copy bex_rows FROM 'APP_BULK_75160.csv' WITH (FORMAT csv, DELIMITER E'\x2c', ENCODING 'LATIN1')
INSERT INTO "app"."bulk" ("id", "name", "when", "score", "tag")
  SELECT NULLIF("f1", '')::numeric,
         pg_temp.bex_text("f2", 'GBK'),
         pg_temp.bex_time("f3")::timestamp,
         NULLIF("f4", '')::double precision,
         decode("f5", 'hex')
  FROM bex_rows;
DROP TABLE bex_rows;
COMMIT;

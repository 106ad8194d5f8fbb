-- The database side of quillmore --sync-to: run once, as a superuser (one who may create roles), in
-- the database the kiosks send to:
--
--   sudo -u postgres psql -v ON_ERROR_STOP=1 -d events -f quillmore-sync.sql
--
-- It makes the schema quillmore with the table of sign-ups, the table of privacy notice texts, the
-- table of kiosk status and the view quillmore.export, and the role quillmore_kiosk, which may only
-- call the four functions below: add notice texts, add sign-ups (a batch, or one), and keep a status
-- row current. It cannot read, change or delete anyone's sign-ups, nor the notices. Each kiosk logs in
-- as a role that is a member of it (README: "Several kiosks, one database"). The kiosk never creates
-- or alters tables. Running the file a second time in the same database fails at once and changes
-- nothing; in a second database on the same server it makes the same there, for the same group role.
BEGIN;

CREATE SCHEMA quillmore;
REVOKE ALL ON SCHEMA quillmore FROM PUBLIC;

-- One row per line of a kiosk's data file. (kiosk, data_file, line_offset) names the line: the data
-- file's identity changes when the file is moved away and a new one begun, so a new file's first
-- line never takes the place of the old file's. A second send of the same line adds nothing.
CREATE TABLE quillmore.signup (
    kiosk             text        NOT NULL,
    data_file         text        NOT NULL,
    line_offset       bigint      NOT NULL CHECK (line_offset >= 0),
    signed_up_at      timestamptz,              -- NULL: written while sync did not watch the file
    received_at       timestamptz NOT NULL DEFAULT now(),
    -- The 14 columns of the line, as written.
    first_name        text,
    last_name         text,
    email             text,
    post_code         text,
    city              text,
    column_6          text,
    country           text,
    cell              text,
    carrier           text,
    aol_screen_name   text,
    myspace_user_name text,
    year_born         text,
    gender            text,
    column_14         text,
    -- A line that does not read as 14 values (a line edited by hand, or cut by a power cut and ended by
    -- the next sign-up): kept here byte for byte, the 14 columns NULL.
    unparsed          bytea,
    -- The evidence of consent (quillmore-consent.csv beside the data file): when the visitor agreed,
    -- and the SHA-256 of the notice shown (quillmore.notice). NULL for a line made under no notice.
    consent_at        timestamptz,
    notice_sha256     text CHECK (notice_sha256 ~ '^[0-9a-f]{64}$'),
    -- As the export computes them on the kiosk (ISO 3166-1 alpha-2 of the country; the cell number in
    -- E.164 where it fits, else as typed), so the view gives exactly what quillmore --export gives.
    country_code      text,
    phone_e164        text,
    PRIMARY KEY (kiosk, data_file, line_offset),
    CHECK ((unparsed IS NULL) = (column_14 IS NOT NULL)),
    CHECK ((consent_at IS NULL) = (notice_sha256 IS NULL))
);

-- Each privacy notice a visitor was shown, once, its file's bytes exactly, under their SHA-256. No
-- reference from quillmore.signup: a notice text lost on a kiosk must not stop its sign-ups.
CREATE TABLE quillmore.notice (
    sha256      text PRIMARY KEY CHECK (sha256 = encode(pg_catalog.sha256(body), 'hex')),
    body        bytea       NOT NULL,
    received_at timestamptz NOT NULL DEFAULT now()
);

-- What each kiosk last said about itself (at most about once a minute).
CREATE TABLE quillmore.kiosk (
    kiosk        text PRIMARY KEY,
    version      text        NOT NULL,
    local_count  bigint      NOT NULL, -- complete lines in its data file
    waiting      bigint      NOT NULL, -- of those, not yet confirmed by this database
    last_signup  timestamptz,          -- the latest sign-up whose time it knows
    last_contact timestamptz NOT NULL
);

-- Adds the lines of one data file, each once. The arrays run in step, one element per line: its byte
-- offset, its time in seconds since 1970 or NULL, NULL or (for an unparsed line) its bytes in hex, one
-- array per column (NULL for an unparsed line), then its evidence (the time as written, ISO 8601 UTC,
-- and the notice's SHA-256; NULL without), its country code and its cell number in E.164. Returns how many lines were new. One array per
-- column, unnested together: subscripting one long array per value would walk it each time. In PL/pgSQL,
-- whose plan a session keeps, rather than SQL, planned again at every call.
-- SECURITY DEFINER: the kiosk role has no privilege on the table itself, not even to see whether a line
-- is there already, which ON CONFLICT would otherwise need.
-- A batch is almost always new, and goes in as a plain INSERT, which costs the server about a third less
-- than one with ON CONFLICT. A batch that has a line already there (a reply lost with the connection, a
-- state file restored from before) fails on the key and goes in again with ON CONFLICT, each line once.
-- A second call for the same lines while the first is still in its transaction (the kiosk, cut off,
-- already on a new connection) waits on the key for the first to end, then takes the same way.
CREATE FUNCTION quillmore.add_signups(kiosk text, data_file text, offsets bigint[], times bigint[], raw_hex text[],
    first_name text[],
    last_name text[],
    email text[],
    post_code text[],
    city text[],
    column_6 text[],
    country text[],
    cell text[],
    carrier text[],
    aol_screen_name text[],
    myspace_user_name text[],
    year_born text[],
    gender text[],
    column_14 text[],
    consent_at text[],
    notice_sha256 text[],
    country_code text[],
    phone_e164 text[])
RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp
AS $$
-- The parameters share names with the table's columns; in ON CONFLICT the names are the columns.
#variable_conflict use_column
DECLARE
    added integer;
BEGIN
    BEGIN
        INSERT INTO quillmore.signup (kiosk, data_file, line_offset, signed_up_at, unparsed,
            first_name, last_name, email, post_code, city, column_6, country, cell, carrier, aol_screen_name, myspace_user_name, year_born, gender, column_14,
            consent_at, notice_sha256, country_code, phone_e164)
        SELECT $1, $2, unnest($3), to_timestamp(unnest($4)), decode(unnest($5), 'hex'),
            unnest($6), unnest($7), unnest($8), unnest($9), unnest($10), unnest($11), unnest($12), unnest($13),
            unnest($14), unnest($15), unnest($16), unnest($17), unnest($18), unnest($19),
            unnest($20)::timestamptz, unnest($21), unnest($22), unnest($23);
    EXCEPTION WHEN unique_violation THEN
        INSERT INTO quillmore.signup AS s (kiosk, data_file, line_offset, signed_up_at, unparsed,
            first_name, last_name, email, post_code, city, column_6, country, cell, carrier, aol_screen_name, myspace_user_name, year_born, gender, column_14,
            consent_at, notice_sha256, country_code, phone_e164)
        SELECT $1, $2, unnest($3), to_timestamp(unnest($4)), decode(unnest($5), 'hex'),
            unnest($6), unnest($7), unnest($8), unnest($9), unnest($10), unnest($11), unnest($12), unnest($13),
            unnest($14), unnest($15), unnest($16), unnest($17), unnest($18), unnest($19),
            unnest($20)::timestamptz, unnest($21), unnest($22), unnest($23)
        ON CONFLICT (kiosk, data_file, line_offset) DO NOTHING;
    END;
    GET DIAGNOSTICS added = ROW_COUNT;
    RETURN added;
END
$$;

-- Adds one line, each once: add_signups for a batch of one, with a value for each column rather than an
-- array of one. A sign-up sent the moment it is made is such a batch, and this costs the server a fifth
-- less. Returns 1 where the line was new, else 0.
CREATE FUNCTION quillmore.add_signup(kiosk text, data_file text, line_offset bigint, signed_up bigint,
    raw_hex text, first_name text, last_name text, email text, post_code text, city text, column_6 text,
    country text, cell text, carrier text, aol_screen_name text, myspace_user_name text, year_born text,
    gender text, column_14 text, consent_at text, notice_sha256 text, country_code text, phone_e164 text)
RETURNS integer
LANGUAGE plpgsql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp
AS $$
-- The parameters share names with the table's columns; in ON CONFLICT the names are the columns.
#variable_conflict use_column
DECLARE
    added integer;
BEGIN
    INSERT INTO quillmore.signup (kiosk, data_file, line_offset, signed_up_at, unparsed,
        first_name, last_name, email, post_code, city, column_6, country, cell, carrier, aol_screen_name, myspace_user_name, year_born, gender, column_14,
        consent_at, notice_sha256, country_code, phone_e164)
    VALUES ($1, $2, $3, to_timestamp($4), decode($5, 'hex'),
        $6, $7, $8, $9, $10, $11, $12, $13, $14, $15, $16, $17, $18, $19,
        $20::timestamptz, $21, $22, $23)
    ON CONFLICT (kiosk, data_file, line_offset) DO NOTHING;
    GET DIAGNOSTICS added = ROW_COUNT;
    RETURN added;
END
$$;

-- Adds notice texts, each once: their SHA-256 and their bytes in hex, in step. The table checks that
-- each hash is its text's.
CREATE FUNCTION quillmore.add_notices(sha256 text[], body_hex text[])
RETURNS void
LANGUAGE sql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp
AS $$
    INSERT INTO quillmore.notice (sha256, body)
    SELECT n.sha256, decode(n.body_hex, 'hex') FROM unnest($1, $2) AS n(sha256, body_hex)
    ON CONFLICT (sha256) DO NOTHING;
$$;

-- Keeps the kiosk's status row current; the time of contact is the server's.
CREATE FUNCTION quillmore.kiosk_status(kiosk text, version text, local_count bigint, waiting bigint,
                                       last_signup bigint)
RETURNS void
LANGUAGE sql SECURITY DEFINER
SET search_path = pg_catalog, pg_temp
AS $$
    INSERT INTO quillmore.kiosk AS k (kiosk, version, local_count, waiting, last_signup, last_contact)
    VALUES ($1, $2, $3, $4, to_timestamp($5), now())
    ON CONFLICT (kiosk) DO UPDATE
        SET version = excluded.version, local_count = excluded.local_count, waiting = excluded.waiting,
            last_signup = coalesce(excluded.last_signup, k.last_signup), last_contact = excluded.last_contact;
$$;

REVOKE ALL ON FUNCTION quillmore.add_signups(text, text, bigint[], bigint[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[]) FROM PUBLIC;
REVOKE ALL ON FUNCTION quillmore.add_signup(text, text, bigint, bigint, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text) FROM PUBLIC;
REVOKE ALL ON FUNCTION quillmore.kiosk_status(text, text, bigint, bigint, bigint) FROM PUBLIC;
REVOKE ALL ON FUNCTION quillmore.add_notices(text[], text[]) FROM PUBLIC;

-- A role belongs to the whole server: a second database there (another tour's) finds it made already.
DO $$
BEGIN
    IF NOT EXISTS (SELECT FROM pg_catalog.pg_roles WHERE rolname = 'quillmore_kiosk') THEN
        CREATE ROLE quillmore_kiosk NOLOGIN;
    END IF;
END
$$;
GRANT USAGE ON SCHEMA quillmore TO quillmore_kiosk;
GRANT EXECUTE ON FUNCTION quillmore.add_signups(text, text, bigint[], bigint[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[], text[]) TO quillmore_kiosk;
GRANT EXECUTE ON FUNCTION quillmore.add_signup(text, text, bigint, bigint, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text, text) TO quillmore_kiosk;
GRANT EXECUTE ON FUNCTION quillmore.kiosk_status(text, text, bigint, bigint, bigint) TO quillmore_kiosk;
GRANT EXECUTE ON FUNCTION quillmore.add_notices(text[], text[]) TO quillmore_kiosk;

-- The whole fleet's sign-ups as quillmore --export writes one kiosk's: the same columns under the same
-- names in the same order (exporting::columnNames), a line that is no sign-up left out, each kiosk's
-- file in its order; an empty value as NULL, which \copy writes as the export does, as nothing rather
-- than "". For the administrator (the kiosk role cannot read it):
--   \copy (select * from quillmore.export) to 'signups.csv' csv header
CREATE VIEW quillmore.export AS
    SELECT NULLIF(email, '') AS "Email Address", NULLIF(first_name, '') AS "First Name",
           NULLIF(last_name, '') AS "Last Name", NULLIF(city, '') AS "City", NULLIF(post_code, '') AS "Postal Code",
           NULLIF(country, '') AS "Country", NULLIF(country_code, '') AS "Country Code",
           NULLIF(phone_e164, '') AS "Phone", NULLIF(carrier, '') AS "Carrier", NULLIF(gender, '') AS "Gender",
           NULLIF(year_born, '') AS "Birth Year", NULLIF(aol_screen_name, '') AS "AOL Screen Name",
           NULLIF(myspace_user_name, '') AS "MySpace Username",
           to_char(consent_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS"Z"') AS "Signed Up",
           notice_sha256 AS "Consent Text"
    FROM quillmore.signup
    WHERE unparsed IS NULL
    ORDER BY kiosk, data_file, line_offset;

COMMIT;
